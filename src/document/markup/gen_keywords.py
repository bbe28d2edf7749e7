#!/usr/bin/env python3
"""Generates keyword_data.cpp: the packed keyword trees of markup names, entity names and
attribute value keywords. Run from this folder: python3 gen_keywords.py > keyword_data.cpp

Each tree is a ternary search tree packed into an array of nodes (character, less, next,
greater, id). less and next are forward distances, greater a backward distance, so a subtree
of greater characters is laid out before its node and the others after it."""

import sys

MARKUP = """
1=HTML 2=BODY 3=META 4=LINK 5=TITLE 6=HEAD 7=H1 8=H2 9=H3 10=H4 11=H5 12=H6 13=BIG 14=SMALL
15=U 16=I 17=BOLD 18=B 19=STRONG 20=S 21=STRIKE 22=CODE 23=SAMP 24=KBD 25=Q 26=CITE 27=VAR
28=EM 29=DFN 30=TT 31=P 32=BR 33=HR 34=BLOCKQUOTE 35=CENTER 36=DIV 37=SPAN 38=UL 39=OL 40=LI
41=DL 42=DT 43=DD 44=TABLE 45=TR 46=TD 47=TH 48=A 49=SCRIPT 50=IMG 51=ALIGN 52=COLOR
53=BGCOLOR 54=WIDTH 55=HEIGHT 56=SRC 57=CLASS 58=RECINDEX 59=FILEPOS 60=INLINE 61=BORDER
62=CELLSPACING 63=CELLPADDING 64=REFERENCE 65=METADATA 66=TYPE 67=GUIDE 68=LOGHOST 69=URL
70=ENCODING 71=PREFIX 72=LOGAS 73=THEAD 74=TFOOT 75=TBODY 76=MAP 77=AREA 78=SUB 79=SUP
80=CLEAN 81=FORM 82=INPUT 83=BUTTON 84=SELECT 85=OPTGROUP 86=OPTION 87=TEXTAREA 88=LABEL
89=COLSPAN 90=ROWSPAN 91=VALIGN 92=ID 93=BACKGROUND 94=LANG 95=SHAPE 96=COORDS 97=HREF
98=NAME 99=SUMMARY 100=ACTION 101=METHOD 102=ENCTYPE 103=FOR 104=ACCESSKEY 105=VALUE
106=CHECKED 107=DISABLED 108=READONLY 109=SIZE 110=MAXLENGTH 111=ALT 112=USEMAP 113=TABINDEX
114=MULTIPLE 115=STYLE 116=MEDIA 117=ONCLICK 118=DC:TITLE 119=DC:LANGUAGE 120=FVT:IGNORE
121=FVT:PAGEBREAK 122=FVT:SECTION 123=FVT:PAGE_ROLE 124=TOPMARGIN 125=LEFTMARGIN
126=RIGHTMARGIN 127=BOTTOMMARGIN 128=HSPACE 129=VSPACE 130=LORECINDEX 131=HIRECINDEX
132=FONT 133=FACE 134=FVT:NU 135=DESCENT 136=BORDERCOLOR 137=FVT:FRAMESET 138=ONCHANGE
139=SELECTED 140=FVT:TTS 141=PHON 142=ENDFILEPOS 144=ONSUBMIT 145=ONRESET
146=FVT:AUTO-SUBMIT 147=ONLOAD 148=FVT:PERSISTENT 149=INPUT_RESTRICT 150=RSS 151=CHANNEL
152=DESCRIPTION 153=LANGUAGE 154=COPYRIGHT 155=MANAGINGEDITOR 156=WEBMASTER 157=PUBDATE
158=LASTBUILDDATE 159=CATEGORY 160=GENERATOR 161=DOCS 162=CLOUD 163=TTL 164=IMAGE
165=TEXTINPUT 166=SKIPHOURS 167=SKIPDAYS 168=ITEM 169=AUTHOR 170=COMMENTS 171=ENCLOSURE
172=GUID 173=SOURCE 174=FEED 175=ENTRY 176=ITEMS 177=UPDATED 178=SUBTITLE 179=RIGHTS
180=PUBLISHED 181=CONTRIBUTOR 182=CONTENT 183=LOGO 184=ICON 185=RDF:RDF 186=RDF:SEQ
187=RDF:LI 188=DC:PUBLISHER 189=DC:CREATOR 190=DC:RIGHTS 191=DC:DATE 192=DC:DESCRIPTION
193=DC:SUBJECT 194=SY:UPDATEPERIOD 195=SY:UPDATEFREQUENCY 196=SY:UPDATEBASE 197=VERSION
198=RDF:RESOURCE 199=RDF:ABOUT 200=CONTENT:ENCODED 201=HTTP-EQUIV 202=XML 203=XML:LANG
204=DCTERMS:ABSTRACT 205=REL 206=PRE 207=NOWRAP 208=CAPTION
"""

ENTITIES = """
1=quot 2=amp 3=apos 4=lt 5=gt 6=nbsp 7=iexcl 8=cent 9=pound 10=curren 11=yen 12=brvbar
13=sect 14=uml 15=copy 16=ordf 17=laquo 18=not 19=shy 20=reg 21=macr 22=deg 23=plusmn
24=sup2 25=sup3 26=acute 27=micro 28=para 29=middot 30=cedil 31=sup1 32=ordm 33=raquo
34=frac14 35=frac12 36=frac34 37=iquest 38=Agrave 39=Aacute 40=Acirc 41=Atilde 42=Auml
43=Aring 44=AElig 45=Ccedil 46=Egrave 47=Eacute 48=Ecirc 49=Euml 50=Igrave 51=Iacute
52=Icirc 53=Iuml 54=ETH 55=Ntilde 56=Ograve 57=Oacute 58=Ocirc 59=Otilde 60=Ouml 61=times
62=Oslash 63=Ugrave 64=Uacute 65=Ucirc 66=Uuml 67=Yacute 68=THORN 69=szlig 70=agrave
71=aacute 72=acirc 73=atilde 74=auml 75=aring 76=aelig 77=ccedil 78=egrave 79=eacute
80=ecirc 81=euml 82=igrave 83=iacute 84=icirc 85=iuml 86=eth 87=ntilde 88=ograve 89=oacute
90=ocirc 91=otilde 92=ouml 93=divide 94=oslash 95=ugrave 96=uacute 97=ucirc 98=uuml
99=yacute 100=thorn 101=yuml 102=OElig 103=oelig 104=Scaron 105=scaron 106=Yuml 107=fnof
108=circ 109=tilde 110=Alpha 111=Beta 112=Gamma 113=Delta 114=Epsilon 115=Zeta 116=Eta
117=Theta 118=Iota 119=Kappa 120=Lambda 121=Mu 122=Nu 123=Xi 124=Omicron 125=Pi 126=Rho
127=Sigma 128=Tau 129=Upsilon 130=Phi 131=Chi 132=Psi 133=Omega 134=alpha 135=beta 136=gamma
137=delta 138=epsilon 139=zeta 140=eta 141=theta 142=iota 143=kappa 144=lambda 145=mu 146=nu
147=xi 148=omicron 149=pi 150=rho 151=sigmaf 152=sigma 153=tau 154=upsilon 155=phi 156=chi
157=psi 158=omega 159=thetasym 160=upsih 161=piv 162=ensp 163=emsp 164=thinsp 165=zwnj
166=zwj 167=lrm 168=rlm 169=ndash 170=mdash 171=lsquo 172=rsquo 173=sbquo 174=ldquo
175=rdquo 176=bdquo 177=dagger 178=Dagger 179=bull 180=hellip 181=permil 182=prime 183=Prime
184=lsaquo 185=rsaquo 186=oline 187=frasl 188=euro 189=image 190=weierp 191=real 192=trade
193=alefsym 194=larr 195=uarr 196=rarr 197=darr 198=harr 199=crarr 200=lArr 201=uArr
202=rArr 203=dArr 204=hArr 205=forall 206=part 207=exist 208=empty 209=nabla 210=isin
211=notin 212=ni 213=prod 214=sum 215=minus 216=lowast 217=radic 218=prop 219=infin 220=ang
221=and 222=or 223=cap 224=cup 225=int 226=there4 227=sim 228=cong 229=asymp 230=ne
231=equiv 232=le 233=ge 234=sub 235=sup 236=nsub 237=sube 238=supe 239=oplus 240=otimes
241=perp 242=sdot 243=lceil 244=rceil 245=lfloor 246=rfloor 247=lang 248=rang 249=loz
250=spades 251=clubs 252=hearts 253=diams
"""

VALUES = """
1=BLACK 2=SILVER 3=GRAY 4=WHITE 5=MAROON 6=RED 7=PURPLE 8=FUCHSIA 9=GREEN 10=LIME 11=OLIVE
12=YELLOW 13=NAVY 14=BLUE 15=TEAL 16=AQUA 17=LEFT 18=CENTER 19=RIGHT 20=JUSTIFY 21=CHAR
22=POETRY 23=TOP 24=MIDDLE 25=BOTTOM 26=BASELINE 27=ABSMIDDLE 28=ABSBOTTOM 29=TEXTTOP
30=TEXT 31=PASSWORD 32=CHECKBOX 33=RADIO 34=SUBMIT 35=IMAGE 36=RESET 37=BUTTON 38=HIDDEN
39=FILE 40=XML 41=MULTIPART/FORM-DATA 42=X-WWW-FORM-URLENCODED
42=APPLICATION/X-WWW-FORM-URLENCODED 44=GET 45=POST 46=CIRCLE 47=RECT 48=POLY 49=DEFAULT
50=YES 51=NO 52=HIRA 53=KATA 54=LATN 55=HANG
"""


def parse(text):
    out = []
    for item in text.split():
        n, name = item.split("=", 1)
        out.append((name, int(n)))
    return out


class Node:
    def __init__(self, ch):
        self.ch = ch
        self.less = self.next = self.greater = None
        self.id = 0


def build(names):
    """Balanced tree: at each level the median character (of the distinct ones) is the root."""
    if not names:
        return None
    chars = sorted({n[0][0] for n in names})
    mid = chars[len(chars) // 2]
    node = Node(mid)
    node.less = build([n for n in names if n[0][0] < mid])
    node.greater = build([n for n in names if n[0][0] > mid])
    same = [n for n in names if n[0][0] == mid]
    for name, ident in same:
        if len(name) == 1:
            node.id = ident
    node.next = build([(name[1:], ident) for name, ident in same if len(name) > 1])
    return node


def layout(node, out):
    if node is None:
        return None
    g = layout(node.greater, out)
    index = len(out)
    out.append(node)
    node.index = index
    lo = layout(node.less, out)
    nx = layout(node.next, out)
    node.links = (lo, nx, g)
    return index


def emit(name, entries, folded):
    for word, _ in entries:
        for c in word:
            assert ord(c) < 256
    if folded:
        entries = [(w.upper(), i) for w, i in entries]
    tree = build(entries)
    nodes = []
    root = layout(tree, nodes)
    print(f"extern const KeywordNode {name}[];")
    print(f"const KeywordNode {name}[] = {{")
    for i, n in enumerate(nodes):
        lo, nx, g = n.links
        less = lo - i if lo is not None else 0
        nxt = nx - i if nx is not None else 0
        gr = i - g if g is not None else 0
        assert less >= 0 and nxt >= 0 and gr >= 0 and max(less, nxt, gr) < 65536
        print(f"    {{{ord(n.ch)}, {less}, {nxt}, {gr}, {n.id}}},")
    print("};")
    print(f"extern const uint16_t {name}Root, {name}Count;")
    print(f"const uint16_t {name}Root = {root};")
    print(f"const uint16_t {name}Count = {len(nodes)};")
    print()


def main():
    print("// Generated by gen_keywords.py; do not edit.")
    print('#include "document/markup/keyword_tree.h"')
    print()
    emit("kMarkupTree", parse(MARKUP), True)
    emit("kEntityTree", parse(ENTITIES), False)
    emit("kValueTree", parse(VALUES), True)


if __name__ == "__main__":
    sys.exit(main())

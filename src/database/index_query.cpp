#include "database/index_query.h"

#include <algorithm>
#include <new>
#include <string>

#include "core/lang_name.h"
#include "database/book_index_source.h"
#include "script/script_heap.h"
#include "script/script_names.h"

// ---------------------------------------------------------------- IndexSource

bool IndexSource::Name(String& out) const {
    out.Release();
    return false;
}

bool IndexSource::InflectedForms(uint32_t, String& out) const {
    out.Release();
    return false;
}

bool IndexSource::InflectionEntries(const String&, std::vector<uint32_t>& out) const {
    out.clear();
    return false;
}

bool IndexSource::SpellingCandidates(const String&, uint32_t, std::vector<uint32_t>& out) const {
    out.clear();
    return false;
}

bool IndexSource::EntryText(uint32_t, String& out) const {
    out.Release();
    return false;
}

int64_t IndexSource::TextPosition(uint32_t entry) const {
    std::vector<uint32_t> v;
    uint32_t count = EntryCount();
    if ((TagValues(entry, 25, v) && !v.empty() && v[0] < count) ||
        (TagValues(entry, 22, v) && !v.empty() && v[0] < count))
        entry = v[0];
    if (!TagValues(entry, 1, v) || v.empty()) return -1;
    return v[0];
}

// ---------------------------------------------------------------- IndexRecordSet

bool IndexRecordSet::GetText(const RecordPosition& pos, String& out) {
    int32_t e = EntryAt(pos);
    IndexSource* s = ResultSource();
    return e >= 0 && s && s->Key(static_cast<uint32_t>(e), out);
}

bool IndexRecordSet::GetDisplayText(const RecordPosition& pos, String& out) {
    int32_t e = EntryAt(pos);
    IndexSource* s = ResultSource();
    if (e < 0 || !s) return false;
    return s->Headword(static_cast<uint32_t>(e), out) || s->Key(static_cast<uint32_t>(e), out);
}

bool IndexRecordSet::GetTableName(String& out, bool next) {
    IndexSource* s = ResultSource();
    return !next && s && s->Name(out);
}

ScriptObject* IndexRecordSet::MakeScriptObject(const RecordPosition& pos) {
    return new (std::nothrow) IndexRecordSetObject(this, pos);
}

// ---------------------------------------------------------------- IndexQuery

namespace {

struct Value {
    enum Kind { kNone, kText, kNumber, kSet } kind = kNone;
    String text;
    uint32_t number = 0;
    std::vector<uint32_t> set;
};

bool CompareResult(int c, SqlNode::Cmp cmp) {
    switch (cmp) {
        case SqlNode::kEq:
            return c == 0;
        case SqlNode::kNe:
            return c != 0;
        case SqlNode::kLt:
            return c < 0;
        case SqlNode::kLe:
            return c <= 0;
        case SqlNode::kGt:
            return c > 0;
        default:
            return c >= 0;
    }
}

// Numbers compare as numbers; a number against a text compares the decimal texts.
bool CompareScalar(const Value& a, const Value& b, SqlNode::Cmp cmp) {
    if (a.kind == Value::kNumber && b.kind == Value::kNumber)
        return CompareResult(a.number < b.number ? -1 : a.number > b.number ? 1 : 0, cmp);
    String x, y;
    if (a.kind == Value::kNumber)
        x.AppendUnsigned(a.number, 10);
    else
        x.Assign(a.text);
    if (b.kind == Value::kNumber)
        y.AppendUnsigned(b.number, 10);
    else
        y.Assign(b.text);
    return CompareResult(SqlMatch::Compare(x.Data(), x.Length(), y.Data(), y.Length()), cmp);
}

}  // namespace

bool IndexSource::PrefixRuns(const String& prefix, EntryRuns& out) const {
    out.clear();
    const int32_t count = static_cast<int32_t>(EntryCount());
    int32_t first = LowerBound(prefix);
    if (first < 0) first = count;
    // The keys that begin with the prefix end at the first whose start sorts after it.
    int32_t lo = first, hi = count;
    String key;
    while (lo < hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        if (!Key(static_cast<uint32_t>(mid), key)) return false;
        const int32_t n = key.Length() < prefix.Length() ? key.Length() : prefix.Length();
        if (SqlMatch::Compare(key.Data(), n, prefix.Data(), prefix.Length()) > 0)
            hi = mid;
        else
            lo = mid + 1;
    }
    if (first < lo) out.emplace_back(first, lo);
    return true;
}

IndexQuery::IndexQuery() = default;

IndexQuery::~IndexQuery() {
    ReleaseSources();
}

void IndexQuery::ReleaseSources() {
    sources_.clear();
}

IndexQuery* IndexQuery::FromTable(IndexSource* source) {
    if (!source) return nullptr;
    IndexQuery* q = new (std::nothrow) IndexQuery();
    if (!q) return nullptr;
    SqlTableRef ref;
    if (!source->Name(ref.designation)) ref.designation.AppendAscii("table=");
    q->query_.from.push_back(ref);
    q->sources_.emplace_back(source);
    q->BuildLevels();
    return q;
}

int IndexQuery::Compile(const String& text, IndexSourceResolver* resolver, SqlError* error) {
    SqlQuery parsed;
    SqlError e;
    int rc = SqlParser::ParseText(text, parsed, &e);
    if (rc) {
        if (error) *error = e;
        return rc;
    }
    std::vector<RefPtr<IndexSource>> opened;
    for (const SqlTableRef& t : parsed.from) {
        RefPtr<IndexSource> s =
            RefPtr<IndexSource>::Adopt(resolver ? resolver->OpenIndex(t.designation) : nullptr);
        if (!s) {
            if (error) {
                error->code = SqlParser::kName;
                error->position = t.position;
                error->message = "Unknown table at position " + std::to_string(t.position);
            }
            return SqlParser::kName;
        }
        opened.push_back(std::move(s));
    }
    ReleaseSources();
    query_ = std::move(parsed);
    sources_ = std::move(opened);
    BuildLevels();
    if (error) *error = SqlError();
    return 0;
}

void IndexQuery::BuildLevels() {
    result_ = query_.ResultTable();
    leaves_.clear();
    levels_.clear();
    bound_.assign(query_.from.size(), -1);
    for (int32_t t = 0; t < static_cast<int32_t>(query_.from.size()); ++t)
        if (t != result_) leaves_.push_back(t);
    levels_.resize(leaves_.size() + 1);
    for (size_t k = 0; k < leaves_.size(); ++k) levels_[k].table = leaves_[k];
    levels_.back().table = result_;
    // A conjunct goes to the first level where every table it reads is bound or current.
    std::vector<int32_t> parts;
    query_.Conjuncts(query_.where, parts);
    for (int32_t c : parts) {
        uint32_t used = query_.TablesUsed(c);
        size_t level = levels_.size() - 1;
        uint32_t bound = 0;
        for (size_t k = 0; k < leaves_.size(); ++k) {
            bound |= 1u << (leaves_[k] < 31 ? leaves_[k] : 31);
            if ((used & ~bound) == 0) {
                level = k;
                break;
            }
        }
        levels_[level].conjuncts.push_back(c);
    }
    // Key range: a conjunct "key = 'lit'" or "key LIKE 'prefix...'" of the level's own table.
    for (Level& l : levels_) {
        for (int32_t c : l.conjuncts) {
            const SqlNode& n = query_.nodes[c];
            const SqlOperand* field = nullptr;
            const SqlOperand* lit = nullptr;
            if (n.op == SqlNode::kLike && !n.negated) {
                field = &n.a;
                lit = &n.b;
            } else if (n.op == SqlNode::kCompare && n.cmp == SqlNode::kEq) {
                field = n.a.kind == SqlOperand::kField ? &n.a : &n.b;
                lit = n.a.kind == SqlOperand::kField ? &n.b : &n.a;
            }
            if (!field || field->kind != SqlOperand::kField || field->field != SqlOperand::kKey ||
                field->table != l.table || lit->kind != SqlOperand::kString)
                continue;
            int32_t len = n.op == SqlNode::kLike ? SqlMatch::LiteralPrefixLength(lit->text)
                                                 : lit->text.Length();
            if (len == 0) continue;
            String prefix;
            prefix.AssignSub(lit->text, 0, len);
            if (!sources_[l.table]->PrefixRuns(prefix, l.runs)) continue;
            l.ranged = true;
            break;
        }
    }
    for (Level& l : levels_) {
        for (int32_t c : l.conjuncts) {
            const SqlNode& n = query_.nodes[c];
            if (n.op != SqlNode::kCompare || n.cmp != SqlNode::kEq) continue;
            for (int side = 0; side < 2; ++side) {
                const SqlOperand& self = side == 0 ? n.a : n.b;
                const SqlOperand& other = side == 0 ? n.b : n.a;
                if (self.kind == SqlOperand::kField && self.field == SqlOperand::kKey &&
                    self.table == l.table && other.kind == SqlOperand::kField &&
                    other.field == SqlOperand::kTag && other.table >= 0 && other.table != l.table) {
                    l.linkFrom = other.table;
                    l.linkTag = other.tag;
                }
            }
            if (l.linkFrom >= 0) break;
        }
    }
    plain_ = query_.from.size() == 1 && query_.where < 0;
}

void IndexQuery::LinkCandidates(const Level& l, std::vector<uint32_t>& out) const {
    out.clear();
    int64_t bound = bound_[l.linkFrom];
    if (bound < 0 || !sources_[l.linkFrom]->TagValues(static_cast<uint32_t>(bound), l.linkTag, out))
        return;
    uint32_t n = sources_[l.table]->EntryCount();
    out.erase(std::remove_if(out.begin(), out.end(), [n](uint32_t v) { return v >= n; }),
              out.end());
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}

IndexSource* IndexQuery::ActiveLeaf(int32_t k) const {
    return k >= 0 && k < ActiveLeafCount() ? sources_[leaves_[k]].Get() : nullptr;
}

const String& IndexQuery::ActiveLeafAlias(int32_t k) const {
    static const String kNone;
    return k >= 0 && k < ActiveLeafCount() ? query_.from[leaves_[k]].alias : kNone;
}

IndexSource* IndexQuery::ResultSource() {
    return result_ >= 0 ? sources_[result_].Get() : nullptr;
}

bool IndexQuery::EvaluateLeaf(int32_t k, uint32_t entry) {
    if (k < 0 || k >= ActiveLeafCount()) return false;
    bound_[leaves_[k]] = entry;
    return Matches(k, entry);
}

bool IndexQuery::Matches(int32_t level, uint32_t entry) {
    const Level& l = levels_[level];
    for (int32_t c : l.conjuncts)
        if (!Eval(c, l.table, entry)) return false;
    // The browse part narrows only the last level, and only with the browse flag cleared.
    if (level == static_cast<int32_t>(levels_.size()) - 1 && !browse_ && query_.browse >= 0)
        return Eval(query_.nodes[query_.browse].left, l.table, entry);
    return true;
}

bool IndexQuery::Eval(int32_t node, int32_t table, uint32_t entry) {
    // AND and OR chains lean left: walk their spine here instead of recursing along it.
    while (query_.nodes[node].op == SqlNode::kAnd || query_.nodes[node].op == SqlNode::kOr) {
        const SqlNode& n = query_.nodes[node];
        bool right = Eval(n.right, table, entry);
        if (n.op == SqlNode::kAnd && !right) return false;
        if (n.op == SqlNode::kOr && right) return true;
        node = n.left;
    }
    const SqlNode& n = query_.nodes[node];
    if (n.op == SqlNode::kNot) return !Eval(n.left, table, entry);
    if (n.op == SqlNode::kBrowse) return Eval(n.left, table, entry);

    auto read = [&](const SqlOperand& o, bool asEntry, Value& v) {
        v = Value();
        if (o.kind == SqlOperand::kString) {
            v.kind = Value::kText;
            v.text = o.text;
            return;
        }
        if (o.kind == SqlOperand::kNumber) {
            v.kind = Value::kNumber;
            v.number = o.number;
            return;
        }
        int64_t e =
            o.table == table ? static_cast<int64_t>(entry) : (o.table >= 0 ? bound_[o.table] : -1);
        IndexSource* s = o.table >= 0 ? sources_[o.table].Get() : nullptr;
        if (e < 0 || !s) return;
        uint32_t ue = static_cast<uint32_t>(e);
        switch (o.field) {
            case SqlOperand::kKey:
                if (asEntry) {
                    v.kind = Value::kNumber;
                    v.number = ue;
                } else if (s->Key(ue, v.text)) {
                    v.kind = Value::kText;
                }
                return;
            case SqlOperand::kEnt:
                v.kind = Value::kNumber;
                v.number = ue;
                return;
            case SqlOperand::kFormatted:
                if (s->Headword(ue, v.text)) v.kind = Value::kText;
                return;
            case SqlOperand::kTag:
                if (s->TagValues(ue, o.tag, v.set)) v.kind = Value::kSet;
                return;
        }
    };
    Value a, b;
    if (n.op == SqlNode::kLike) {
        read(n.a, false, a);
        bool hit = false;
        if (a.kind == Value::kSet) {
            for (uint32_t x : a.set) {
                String t;
                t.AppendUnsigned(x, 10);
                if (SqlMatch::Like(t, n.b.text)) hit = true;
            }
        } else if (a.kind == Value::kNumber) {
            String t;
            t.AppendUnsigned(a.number, 10);
            hit = SqlMatch::Like(t, n.b.text);
        } else if (a.kind == Value::kText) {
            hit = SqlMatch::Like(a.text, n.b.text);
        } else {
            return false;
        }
        return hit != n.negated;
    }
    // A tag against an alias alone links entries: the alias stands for its entry number.
    bool aTag = n.a.kind == SqlOperand::kField && n.a.field == SqlOperand::kTag;
    bool bTag = n.b.kind == SqlOperand::kField && n.b.field == SqlOperand::kTag;
    read(n.a, bTag, a);
    read(n.b, aTag, b);
    if (a.kind == Value::kNone || b.kind == Value::kNone) return false;
    if (a.kind == Value::kSet || b.kind == Value::kSet) {
        const Value& set = a.kind == Value::kSet ? a : b;
        const Value& other = a.kind == Value::kSet ? b : a;
        bool setFirst = a.kind == Value::kSet;
        for (uint32_t x : set.set) {
            if (other.kind == Value::kSet) {
                for (uint32_t y : other.set)
                    if (CompareResult(x < y ? -1 : x > y ? 1 : 0, n.cmp)) return true;
                continue;
            }
            Value xv;
            xv.kind = Value::kNumber;
            xv.number = x;
            if (setFirst ? CompareScalar(xv, other, n.cmp) : CompareScalar(other, xv, n.cmp))
                return true;
        }
        return false;
    }
    return CompareScalar(a, b, n.cmp);
}

int32_t IndexQuery::NextMatch(int32_t level, int32_t entry) {
    if (level < 0 || level >= static_cast<int32_t>(levels_.size()) || result_ < 0)
        return RecordPosition::kAfterLast;
    const Level& l = levels_[level];
    IndexSource* s = sources_[l.table].Get();
    int64_t e = entry < 0 ? 0 : static_cast<int64_t>(entry) + 1;
    if (entry == RecordPosition::kAfterLast) return RecordPosition::kAfterLast;
    if (l.linkFrom >= 0) {
        // Only the entries the bound one lists can match: step through them.
        std::vector<uint32_t> c;
        LinkCandidates(l, c);
        for (auto it = std::lower_bound(c.begin(), c.end(), static_cast<uint32_t>(e));
             it != c.end(); ++it)
            if (Matches(level, *it)) return static_cast<int32_t>(*it);
        return RecordPosition::kAfterLast;
    }
    if (l.ranged) {
        // Outside the key runs nothing can match.
        for (const auto& [first, end] : l.runs) {
            for (e = e < first ? first : e; e < end; ++e)
                if (Matches(level, static_cast<uint32_t>(e))) return static_cast<int32_t>(e);
        }
        return RecordPosition::kAfterLast;
    }
    for (int64_t n = s->EntryCount(); e < n; ++e)
        if (Matches(level, static_cast<uint32_t>(e))) return static_cast<int32_t>(e);
    return RecordPosition::kAfterLast;
}

int32_t IndexQuery::PreviousMatch(int32_t level, int32_t entry) {
    if (level < 0 || level >= static_cast<int32_t>(levels_.size()) || result_ < 0)
        return RecordPosition::kBeforeFirst;
    const Level& l = levels_[level];
    IndexSource* s = sources_[l.table].Get();
    if (entry == RecordPosition::kBeforeFirst) return RecordPosition::kBeforeFirst;
    if (l.linkFrom >= 0) {
        std::vector<uint32_t> c;
        LinkCandidates(l, c);
        auto end = entry == RecordPosition::kAfterLast
                       ? c.end()
                       : std::lower_bound(c.begin(), c.end(), static_cast<uint32_t>(entry));
        for (auto it = end; it != c.begin();) {
            --it;
            if (Matches(level, *it)) return static_cast<int32_t>(*it);
        }
        return RecordPosition::kBeforeFirst;
    }
    int64_t n = s->EntryCount();
    int64_t e = entry == RecordPosition::kAfterLast || entry > n ? n - 1 : int64_t{entry} - 1;
    if (l.ranged) {
        for (auto run = l.runs.rbegin(); run != l.runs.rend(); ++run) {
            for (e = e >= run->second ? run->second - 1 : e; e >= run->first; --e)
                if (Matches(level, static_cast<uint32_t>(e))) return static_cast<int32_t>(e);
        }
        return RecordPosition::kBeforeFirst;
    }
    for (; e >= 0; --e)
        if (Matches(level, static_cast<uint32_t>(e))) return static_cast<int32_t>(e);
    return RecordPosition::kBeforeFirst;
}

int32_t IndexQuery::First(int32_t level) {
    return NextMatch(level, RecordPosition::kBeforeFirst);
}

int32_t IndexQuery::FirstAtOrAfter(int32_t level, int32_t entry) {
    return entry <= 0 ? First(level) : NextMatch(level, entry - 1);
}

int32_t IndexQuery::LookupKey(int32_t level, const String& key) {
    if (level < 0 || level >= static_cast<int32_t>(levels_.size()) || result_ < 0)
        return RecordPosition::kAfterLast;
    int32_t e = sources_[levels_[level].table]->LowerBound(key);
    return e < 0 ? RecordPosition::kAfterLast : FirstAtOrAfter(level, e);
}

RecordPosition IndexQuery::Next(const RecordPosition& pos) {
    int32_t level = static_cast<int32_t>(levels_.size()) - 1;
    if (pos.afterLast) return RecordPosition::At(RecordPosition::kAfterLast);
    return RecordPosition::At(
        NextMatch(level, pos.beforeFirst ? -1 : static_cast<int32_t>(pos.value)));
}

RecordPosition IndexQuery::Previous(const RecordPosition& pos) {
    int32_t level = static_cast<int32_t>(levels_.size()) - 1;
    if (pos.beforeFirst) return RecordPosition::At(RecordPosition::kBeforeFirst);
    return RecordPosition::At(PreviousMatch(
        level, pos.afterLast ? RecordPosition::kAfterLast : static_cast<int32_t>(pos.value)));
}

uint32_t IndexQuery::Count() {
    if (result_ < 0) return 0;
    if (plain_ && (query_.browse < 0 || browse_)) return sources_[result_]->EntryCount();
    return 0xFFFFFFFFu;
}

int32_t IndexQuery::EntryAt(const RecordPosition& pos) {
    if (pos.beforeFirst) return RecordPosition::kBeforeFirst;
    IndexSource* s = ResultSource();
    if (pos.afterLast || !s || pos.value >= s->EntryCount()) return RecordPosition::kAfterLast;
    return static_cast<int32_t>(pos.value);
}

ResultCollection* IndexQuery::Run() {
    IndexSource* s = ResultSource();
    if (!s) return nullptr;
    if (Count() != 0xFFFFFFFFu) return new (std::nothrow) ResultCollection(s, {}, true);
    std::vector<uint32_t> found;
    int32_t level = static_cast<int32_t>(levels_.size()) - 1;
    try {
        for (int32_t e = First(level); e >= 0; e = NextMatch(level, e))
            found.push_back(static_cast<uint32_t>(e));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return new (std::nothrow) ResultCollection(s, std::move(found), false);
}

int SqlParser::Compile(const String& text, IndexQuery& into) {
    if (tables_ || !resource_) return into.Compile(text, tables_, &error_);
    ResourceIndexResolver tables(resource_);
    return into.Compile(text, &tables, &error_);
}

int SqlParser::ParseWith(SqlParser& parser, const String& text, IndexQuery*& out) {
    RefPtr<IndexQuery> q = RefPtr<IndexQuery>::Adopt(new (std::nothrow) IndexQuery());
    if (!q) return kOutOfMemory;
    int rc = parser.Compile(text, *q);
    parser.Destroy();
    if (rc) return rc;
    out = q.TakePointer();
    return 0;
}

int SqlParser::Parse(const String& text, Resource* resource, IndexQuery*& out) {
    SqlParser parser(resource);
    return ParseWith(parser, text, out);
}

int SqlParser::Parse(const String& text, IndexSourceResolver* tables, IndexQuery*& out) {
    SqlParser parser(tables);
    return ParseWith(parser, text, out);
}

// ---------------------------------------------------------------- ResultCollection

ResultCollection::ResultCollection(IndexSource* source, std::vector<uint32_t>&& entries, bool all)
    : source_(source), entries_(std::move(entries)), all_(all) {}

ResultCollection::~ResultCollection() = default;

uint32_t ResultCollection::Count() {
    return all_ ? source_->EntryCount() : static_cast<uint32_t>(entries_.size());
}

RecordPosition ResultCollection::Previous(const RecordPosition& pos) {
    return OrdinalPrevious(pos, Count());
}

RecordPosition ResultCollection::Next(const RecordPosition& pos) {
    return OrdinalNext(pos, Count());
}

int32_t ResultCollection::EntryAt(const RecordPosition& pos) {
    if (pos.beforeFirst) return RecordPosition::kBeforeFirst;
    if (pos.afterLast || pos.value >= Count()) return RecordPosition::kAfterLast;
    return static_cast<int32_t>(all_ ? pos.value : entries_[pos.value]);
}

int64_t ResultCollection::TextPositionAt(uint32_t i) {
    int32_t e = EntryAt(RecordPosition::At(static_cast<int32_t>(i)));
    return e < 0 ? -1 : source_->TextPosition(static_cast<uint32_t>(e));
}

// ---------------------------------------------------------------- IndexRecordSetObject

namespace {

using namespace ScriptNames::Ids;

}  // namespace

IndexRecordSetObject::IndexRecordSetObject(IndexRecordSet* set, const RecordPosition& pos)
    : set_(set), pos_(pos) {
    if (!pos_.IsRow()) pos_ = set_->Next(RecordPosition::At(RecordPosition::kBeforeFirst));
}

IndexRecordSetObject::~IndexRecordSetObject() {
    ScriptHeap::DetachObject(heap_, this);
}

void IndexRecordSetObject::Notify(int event, ScriptHeap* heap) {
    if (event == 0) {
        heap_ = heap;
    } else {
        heap_ = nullptr;
        delete this;
    }
}

int32_t IndexRecordSetObject::GetEntryNumber() {
    return set_->EntryAt(pos_);
}

bool IndexRecordSetObject::GetWordListRecord(WordListRecord& out) {
    out = WordListRecord();
    int32_t e = GetEntryNumber();
    IndexSource* s = set_->ResultSource();
    if (e < 0 || !s) return false;
    uint32_t ue = static_cast<uint32_t>(e);
    s->Key(ue, out.orth);
    const char* name = LangName::Name(static_cast<uint16_t>(s->Language() & 1023));
    if (name) out.language.AppendAscii(name);
    out.databaseName = databaseName_;
    s->Name(out.tableName);
    out.entry = e;
    if (!s->Headword(ue, out.formatted)) out.formatted = out.orth;
    out.shortId = shortId_;
    return true;
}

int IndexRecordSetObject::Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool) {
    if (ref->IsBound()) return Done(err, ScriptErrors::kMemberUnknown);
    switch (name.id) {
        case kLanguage:
        case kGramgrp:
        case kOrth:
        case kFormat:
        case kFormatted:
        case kMoveNext:
        case kMovePrevious:
        case kBof:
        case kEof:
        case kMoveFirst:
        case kMoveLast:
        case kAnchor:
        case kUrl:
        case kInfl:
        case kCount:
        case kText:
        case kHref:
            return BindMember(err, ref, name.id);
        default:
            return Done(err, ScriptErrors::kMemberUnknown);
    }
}

int IndexRecordSetObject::Call(int* err, ScriptMemberRef* ref, int argc, const ScriptValue*,
                               ScriptValue* result) {
    *result = ScriptValues::kUndefined;
    int id = ref->code;
    if (id != kMoveNext && id != kMovePrevious && id != kMoveFirst && id != kMoveLast)
        return Done(err, ScriptErrors::kInvalidType);
    if (argc != 0) return Done(err, ScriptErrors::kBadParameterCount);
    if (id == kMoveFirst) pos_ = set_->Next(RecordPosition::At(RecordPosition::kBeforeFirst));
    if (id == kMoveLast) pos_ = set_->Previous(RecordPosition::At(RecordPosition::kAfterLast));
    if (id == kMoveNext) pos_ = set_->Next(pos_);
    if (id == kMovePrevious) pos_ = set_->Previous(pos_);
    *result = pos_.IsRow() ? ScriptValues::kTrue : ScriptValues::kFalse;
    return Done(err, 0);
}

int IndexRecordSetObject::GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap,
                                   ScriptValue* result) {
    *result = ScriptValues::kUndefined;
    int id = ref->code;
    if (id == kBof || id == kEof) {
        bool none = set_->Next(RecordPosition::At(RecordPosition::kBeforeFirst)).afterLast != 0;
        bool at = id == kBof ? pos_.beforeFirst != 0 : pos_.afterLast != 0;
        *result = none || at ? ScriptValues::kTrue : ScriptValues::kFalse;
        return Done(err, 0);
    }
    if (id == kCount) {
        uint32_t n = set_->Count();
        if (n == 0xFFFFFFFFu) {
            n = 0;
            for (RecordPosition p = set_->Next(RecordPosition::At(RecordPosition::kBeforeFirst));
                 p.IsRow(); p = set_->Next(p))
                ++n;
        }
        return Done(err, heap->NewNumber(n, result));
    }
    if (id == kMoveNext || id == kMovePrevious || id == kMoveFirst || id == kMoveLast)
        return Done(err, ScriptErrors::kCannotGet);
    String out;
    int32_t e = GetEntryNumber();
    IndexSource* s = set_->ResultSource();
    if (e >= 0 && s) {
        uint32_t ue = static_cast<uint32_t>(e);
        switch (id) {
            case kOrth:
                s->Key(ue, out);
                break;
            case kFormatted:
                if (!s->Headword(ue, out)) s->Key(ue, out);
                break;
            case kLanguage: {
                const char* name = LangName::Name(static_cast<uint16_t>(s->Language() & 1023));
                if (name) out.AppendAscii(name);
                break;
            }
            case kInfl:
                s->InflectedForms(ue, out);
                break;
            case kText:
                s->EntryText(ue, out);
                break;
            case kAnchor:
            case kHref:
            case kUrl: {
                int64_t p = s->TextPosition(ue);
                if (p < 0) break;
                if (id != kAnchor) out.Append(book_);
                out.AppendAscii("##-pos");
                out.AppendUnsigned(static_cast<uint64_t>(p), 10);
                break;
            }
            default:  // gramgrp and format have no source yet
                break;
        }
    }
    return Done(err, heap->NewString(out, result));
}

int IndexRecordSetObject::DefaultValue(int* err, ScriptHeap* heap, int, ScriptValue* result) {
    String out;
    int32_t e = GetEntryNumber();
    IndexSource* s = set_->ResultSource();
    if (e >= 0 && s) s->Key(static_cast<uint32_t>(e), out);
    return Done(err, heap->NewString(out, result));
}

// The area's functions, found by name in "wininet.dll" and "ras.dll".
#include "platform/inet/inet.h"
#include "platform/kernel/modules.h"

namespace {

void RegisterInet() {
    using fvt::RegisterModuleFunction;
    RegisterModuleFunction(u"wininet", u"InternetOpenA", &InternetOpenA);
    RegisterModuleFunction(u"wininet", u"InternetConnectW", &InternetConnectW);
    RegisterModuleFunction(u"wininet", u"HttpOpenRequestW", &HttpOpenRequestW);
    RegisterModuleFunction(u"wininet", u"HttpSendRequestW", &HttpSendRequestW);
    RegisterModuleFunction(u"wininet", u"HttpSendRequestExW", &HttpSendRequestExW);
    RegisterModuleFunction(u"wininet", u"HttpEndRequestW", &HttpEndRequestW);
    RegisterModuleFunction(u"wininet", u"HttpQueryInfoW", &HttpQueryInfoW);
    RegisterModuleFunction(u"wininet", u"InternetReadFile", &InternetReadFile);
    RegisterModuleFunction(u"wininet", u"InternetOpenUrlW", &InternetOpenUrlW);
    RegisterModuleFunction(u"wininet", u"InternetCombineUrlW", &InternetCombineUrlW);
    RegisterModuleFunction(u"wininet", u"InternetCrackUrlW", &InternetCrackUrlW);
    RegisterModuleFunction(u"wininet", u"InternetSetOptionW", &InternetSetOptionW);
    RegisterModuleFunction(u"wininet", u"InternetQueryOptionW", &InternetQueryOptionW);
    RegisterModuleFunction(u"wininet", u"InternetGetConnectedState", &InternetGetConnectedState);
    RegisterModuleFunction(u"wininet", u"InternetCloseHandle", &InternetCloseHandle);
    RegisterModuleFunction(u"ras", u"RasGetEntryDialParams", &RasGetEntryDialParams);
    RegisterModuleFunction(u"ras", u"RasDial", &RasDial);
    RegisterModuleFunction(u"ras", u"RasHangUp", &RasHangUp);
}

struct Registrar {
    Registrar() { RegisterInet(); }
} g_registrar;

}  // namespace

// Keeps this file (and its registrations) in every program that links the layer.
extern "C" void fvt_inet_anchor() {}

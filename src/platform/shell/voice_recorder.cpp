// The voice recorder control: a small bar over its parent with a record mark, a stop square and
// the time. Nothing is recorded on this device: the record file is made at once as a WAV file
// without samples, so that whoever asked for the note finds a valid file.
#include <cstdint>
#include <cstring>

#include "platform/controls/controls_internal.h"
#include "platform/gdi.h"
#include "platform/last_error.h"
#include "platform/shell/shell.h"
#include "platform/storage/files.h"
#include "platform/window/keys.h"

namespace {

constexpr int kWidth = 104;
constexpr int kHeight = 24;

void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
    Put16(p, static_cast<uint16_t>(v));
    Put16(p + 2, static_cast<uint16_t>(v >> 16));
}

// A PCM WAV header (mono, 8000 samples a second, 16 bits) with an empty data chunk.
bool WriteEmptyWave(LPCWSTR path) {
    uint8_t h[44] = {};
    std::memcpy(h, "RIFF", 4);
    Put32(h + 4, 36);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    Put32(h + 16, 16);
    Put16(h + 20, 1);
    Put16(h + 22, 1);
    Put32(h + 24, 8000);
    Put32(h + 28, 16000);
    Put16(h + 32, 2);
    Put16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    Put32(h + 40, 0);
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, h, sizeof h, &written, nullptr) && written == sizeof h;
    const bool closed = CloseHandle(file);
    if (ok && closed) return true;
    DeleteFileW(path);
    return false;
}

// The window's extra bytes hold the parent it disabled (null when not modal).
LRESULT RecorderProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    using namespace fvt::ctl;
    switch (msg) {
        case WM_LBUTTONUP:
            DestroyWindow(hwnd);
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE || wParam == VK_RETURN) DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY: {
            HWND parent = reinterpret_cast<HWND>(GetWindowLongPtrW(hwnd, 0));
            if (parent && IsWindow(parent)) EnableWindow(parent, TRUE);
            fvt::AppendShellLog("voice recorder closed");
            return 0;
        }
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            if (!dc) return 0;
            RECT r;
            GetClientRect(hwnd, &r);
            Fill(dc, r, RGB(224, 224, 224));
            Frame(dc, r, RGB(0, 0, 0));
            const int pad = Px(5);
            const int mark = r.bottom - 2 * pad;
            HBRUSH red = CreateSolidBrush(RGB(200, 0, 0));
            HGDIOBJ oldBrush = SelectObject(dc, red);
            Ellipse(dc, pad, pad, pad + mark, pad + mark);
            SelectObject(dc, oldBrush);
            DeleteObject(red);
            RECT stop{pad * 2 + mark, pad, pad * 2 + mark * 2, pad + mark};
            Fill(dc, stop, RGB(0, 0, 0));
            RECT time{stop.right + pad, 0, r.right - pad, r.bottom};
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, RGB(0, 0, 0));
            DrawTextW(dc, u"0:00", -1, &time, DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX);
            EndPaint(hwnd, &ps);
            return 0;
        }
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

extern "C" HWND VoiceRecorder_Create(void* recorder) {
    auto* info = static_cast<CM_VOICE_RECORDER*>(recorder);
    if (!info || info->cb < sizeof(CM_VOICE_RECORDER) || !info->lpszRecordFileName ||
        !info->lpszRecordFileName[0]) {
        fvt::AppendShellLog("voice recorder");
        return fvt::Fail<HWND>(ERROR_INVALID_PARAMETER, nullptr);
    }
    fvt::AppendShellLog("voice recorder " + fvt::LogText(info->lpszRecordFileName));
    if (info->hwndParent && !IsWindow(info->hwndParent))
        return fvt::Fail<HWND>(ERROR_INVALID_PARAMETER, nullptr);
    if (!WriteEmptyWave(info->lpszRecordFileName)) return nullptr;
    fvt::ctl::RegisterLayerClass(fvt::kVoiceRecorderClass, RecorderProc, sizeof(HWND));
    HWND hwnd = CreateWindowExW(WS_EX_TOPMOST, fvt::kVoiceRecorderClass, u"", WS_POPUP,
                                info->xPos, info->yPos, fvt::ctl::Px(kWidth),
                                fvt::ctl::Px(kHeight), info->hwndParent, nullptr, nullptr, nullptr);
    if (!hwnd) return nullptr;
    if ((info->dwStyle & VRS_MODAL) && info->hwndParent) {
        SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(info->hwndParent));
        EnableWindow(info->hwndParent, FALSE);
    }
    return hwnd;
}

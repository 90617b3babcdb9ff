// Form1: the program's one window and its startup object. It shows the
// product picture and a line describing the update; "开始更新" (Command1)
// runs the update, "退出" (Command2) or the close box ends the program.
#pragma once

#include <windows.h>

#include "platform/handles_win32.h"

namespace app {

class Form1 {
public:
    explicit Form1(HINSTANCE instance);
    ~Form1();
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Creates the window, runs its load event and shows it. Returns 0 when the
    // window is up; otherwise the user has been told why (when it was the
    // load that failed) and the non-zero exit code of the program is returned.
    int Open(int showCommand);

    // Gives the window's keyboard interface (Tab, Shift+Tab, arrows, Enter)
    // a look at a queued message; true when the message was used.
    bool TranslateDialogKeys(MSG* message);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    bool OnCreate();
    void OnCommand(int id, int notification);
    void OnActivate(bool active, bool minimized);
    void OnDpiChanged(UINT dpi, const RECT* suggested);
    void OnDestroy();

    // The load event: the picture and the description from the resources.
    // 0 on success, otherwise the system error code, after the error box.
    DWORD Load();
    void OnCommand1Click();
    void OnCommand2Click();

    HWND CreateControl(const wchar_t* className, const wchar_t* text, DWORD style, int id);
    HWND Control(int id) const;
    void ApplyDpi();                             // font, icons and layout for dpi_
    void SizeClientArea(int width, int height);  // in pixels, keeping the frame
    void CenterOnMonitor();
    void Layout();
    void MakeDefaultButton(int id);

    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    UINT dpi_ = 96;
    SIZE pictureTwips_;
    int defaultButton_;
    HWND lastFocus_ = nullptr;
    bool running_ = false;  // an update run (and its box) is in progress
    platform::UniqueFont font_;
    platform::UniqueBitmap picture_;
    platform::UniqueIcon largeIcon_;
    platform::UniqueIcon smallIcon_;
};

// Start-up: creates Form1 and runs the program until the window is gone.
// Returns the program's exit code.
int RunForm1(HINSTANCE instance, int showCommand);

}  // namespace app

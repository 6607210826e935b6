// What the core tests run inside their own process: an owner window whose
// edit controls record every text the search puts there, the answering of
// WARN_DIALOG from a second thread, and the sweep's shared state reset.
#include "test_support.h"
#include "link_search.h"

namespace testsupport {

StatusWindow::StatusWindow(std::initializer_list<int> ids)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "PathwickTestOwner";
    RegisterClassA(&windowClass);
    window_ = CreateWindowExA(0, "PathwickTestOwner", "owner", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    for (int id : ids) {
        HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 0, 0, 280, 20, window_, (HMENU)(INT_PTR)id,
                                    GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(edit, GWLP_USERDATA, (LONG_PTR)this);
        original_ = (WNDPROC)SetWindowLongPtrA(edit, GWLP_WNDPROC, (LONG_PTR)RecordingProc);
    }
}

StatusWindow::~StatusWindow()
{
    DestroyWindow(window_);
}

std::string StatusWindow::Text(int id) const
{
    char text[MAX_PATH + 64] = "";
    GetDlgItemTextA(window_, id, text, sizeof text);
    return text;
}

std::vector<std::string> StatusWindow::History(int id) const
{
    std::vector<std::string> texts;
    for (const auto& entry : history_)
        if (entry.first == id) texts.push_back(entry.second);
    return texts;
}

LRESULT CALLBACK StatusWindow::RecordingProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = (StatusWindow*)GetWindowLongPtrA(edit, GWLP_USERDATA);
    if (message == WM_SETTEXT && lParam) self->history_.emplace_back(GetDlgCtrlID(edit), (const char*)lParam);
    return CallWindowProcA(self->original_, edit, message, wParam, lParam);
}

WarnDialogResponder::WarnDialogResponder(std::vector<Answer> answers) : answers_(std::move(answers))
{
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

WarnDialogResponder::~WarnDialogResponder()
{
    stop_ = 1;
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
}

static HWND FindWarnDialog(const char* caption = "リンクの削除の確認")
{
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "#32770", caption));) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == GetCurrentProcessId() && IsWindowVisible(window)) return window;
    }
    return nullptr;
}

void WarnDialogResponder::CheckTexts(HWND dialog)
{
    static const std::pair<int, const char*> buttons[] = {
        {IDYES, "はい(&Y)"}, {9, "すべて削除(&D)"}, {IDNO, "いいえ(&N)"}, {8, "すべて保存(&S)"}, {IDCANCEL, "キャンセル(&C)"}};
    for (const auto& button : buttons)
        if (ItemText(dialog, button.first) != button.second)
            Problems.push_back("button " + std::to_string(button.first) + ": " + ItemText(dialog, button.first));
    std::string statics;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (SameText(ClassOf(child), "Static")) statics += TextOf(child) + "|";
    if (statics != "は、リンクが途切れています。|このリンクファイルを削除しますか？|")
        Problems.push_back("static texts: " + statics);
}

DWORD WINAPI WarnDialogResponder::Run(void* self)
{
    return ((WarnDialogResponder*)self)->Respond();
}

DWORD WarnDialogResponder::Respond()
{
    while (!stop_) {
        HWND dialog = nullptr, shell = nullptr;
        auto asked = [&] { return (dialog = FindWarnDialog()) || (shell = FindWarnDialog("ファイルの削除の確認")); };
        if (!WaitUntil([&] { return stop_ || asked(); }, INFINITE) || (!dialog && !shell)) break;
        if (shell) { // Wine asks before it deletes for good what the trash cannot take: No
            if (PostMessageA(shell, WM_COMMAND, IDNO, 0)) WaitGone(shell);
            continue;
        }
        Paths.push_back(ItemText(dialog, 1000));
        CheckTexts(dialog);
        Answer answer = {IDCANCEL, Press::Command};
        if (Paths.size() <= answers_.size())
            answer = answers_[Paths.size() - 1];
        else
            Problems.push_back("unexpected dialog for " + Paths.back());
        HWND button = GetDlgItem(dialog, answer.Id);
        if (answer.How == Press::Command)
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(answer.Id, BN_CLICKED), (LPARAM)button);
        else if (answer.How == Press::Click)
            PostMessageA(button, BM_CLICK, 0, 0);
        else
            PostMessageA(GetDlgItem(dialog, IDYES), WM_KEYDOWN, VK_ESCAPE, 0);
        if (!WaitGone(dialog)) Problems.push_back("the dialog for " + Paths.back() + " stayed after the answer");
    }
    return 0;
}

void ResetSweepState()
{
    SweepState.DeadLinkMode = SweepState.BrokenCount = SweepState.DeletedCount = SweepState.SkippedCount = 0;
    SweepState.DeleteAll = SweepState.KeepAll = SweepState.StopRequested = 0;
}

} // namespace testsupport

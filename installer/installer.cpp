// Stowfold, the one-shot installer shipped beside Quillet. One pass: open the
// help page, make sure the main program is there, find out whether the
// Desktop and Quick Launch already hold a shortcut to it, offer the missing
// ones, and start it. The main program, seeing this file beside it, deletes
// it and ends, so a normal run leaves neither file nor window behind.
//
// No window, no dialog, no message loop, no settings; every exit code is 0.
// Places are named only by their Shell Folders values, and the sweep of
// broken shortcuts is never switched on here.
#include <windows.h>
#include <shellapi.h>
#include "dll_search.h"
#include "link_search.h"
#include "path_helpers.h"
#include "shell_folders.h"
#include "shortcut_files.h"

static const char Caption[] = "Pathwick";
static const char LinkName[] = "Pathwick"; // the files are Pathwick.lnk
static const char LinkDescription[] = "ショートカット作成ツール";
static const char MissingMainProgram[] = "Pathwick が見つかりません。\n\n   もう一度ＤＬしてください。";

struct Place {
    const char* ValueName; // value under ...\Explorer\Shell Folders
    const char* SubPath;   // below that folder, or null
    const char* NotMade;   // said when its shortcut could not be made
};
static const Place Desktop = {"Desktop", nullptr, "デスクトップ に Pathwick へのショートカットを作成できませんでした。"};
static const Place QuickLaunch = {"AppData", QuickLaunchSubPath,
                                  "Quick Launch に Pathwick へのショートカットを作成できませんでした。"};

// The question for each combination of shortcuts already present, and the
// places a Yes fills in. With both present nothing is asked.
struct Offer {
    bool OnDesktop;
    bool InQuickLaunch;
    const char* Question;
    bool CreateOnDesktop;
    bool CreateInQuickLaunch;
};
static const Offer Offers[] = {
    {true, false,
     "現在 Pathwick へのショートカットは デスクトップ にあります。\n\n Quick Launch にもショートカットを作成しますか？",
     false, true},
    {false, true,
     "現在 Pathwick へのショートカットは Quick Launch にあります。\n\nデスクトップにもショートカットを作成しますか？",
     true, false},
    {false, false,
     "Pathwick が簡単に使えるように Pathwick へのショートカットを\n"
     "          デスクトップと Quick Launch に作成します。\n\n"
     "                       よろしいですか？",
     true, true},
};

// Empties `folder` when the module path is missing or was cut short, so that
// nothing is ever looked for in a folder that is not ours.
static void FindOwnFolder(char* folder)
{
    DWORD length = GetModuleFileNameA(nullptr, folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        folder[0] = '\0';
        return;
    }
    folder[LastCharIndex(folder, '\\')] = '\0';
}

// Without a folder, or when the result would not fit, the path stays empty
// and names no file: a shortened path could name some other file.
static void ComposeBesideInstaller(char* output, const char* folder, const char* fileName)
{
    output[0] = '\0';
    if (folder[0]) ComposePath(output, MAX_PATH, folder, fileName);
}

// The shell may hand the file to an extension that needs an apartment.
static void ShellOpen(const char* verb, const char* file, int showCommand)
{
    HRESULT comStatus = CoInitialize(nullptr);
    ShellExecuteA(nullptr, verb, file, nullptr, nullptr, showCommand);
    if (SUCCEEDED(comStatus)) CoUninitialize();
}

// The page is opened to be read, so it is shown: a hidden browser window
// would help nobody and could linger unseen.
static void OpenHelpPage(const char* helpPage)
{
    if (IsExistingFile(helpPage)) ShellOpen("open", helpPage, SW_SHOWNORMAL);
}

// Only the place's own folder is searched (no status control), and the
// found file must still be there.
static bool HoldsLinkTo(const Place& place, const char* mainProgram)
{
    char foundLink[MAX_PATH];
    foundLink[0] = '\0';
    return FindLinkInLocation(nullptr, foundLink, mainProgram, place.ValueName, place.SubPath, 0) &&
           IsExistingFile(foundLink);
}

// The installer's shortcuts carry no working folder, unlike the main
// program's. A shortcut that could not be made is named, so the user does
// not look for it; the installer then goes on.
static void CreateLinkToMainProgram(const Place& place, const char* mainProgram)
{
    if (!CreateLinkIn(mainProgram, place.ValueName, place.SubPath, LinkName, LinkDescription, WithoutWorkingFolder))
        MessageBoxA(nullptr, place.NotMade, Caption, MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
}

static const Offer* OfferFor(bool onDesktop, bool inQuickLaunch)
{
    for (const Offer& offer : Offers)
        if (offer.OnDesktop == onDesktop && offer.InQuickLaunch == inQuickLaunch) return &offer;
    return nullptr;
}

// Asks for the missing shortcuts and makes them on Yes. Any other answer
// shows the installer's folder, so the user can find the program there.
static void OfferMissingLinks(const char* folder, const char* mainProgram, bool onDesktop, bool inQuickLaunch)
{
    const Offer* offer = OfferFor(onDesktop, inQuickLaunch);
    if (!offer) return;
    int answer = MessageBoxA(nullptr, offer->Question, Caption, MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND);
    if (answer == IDYES) {
        // The question may have stood open for a long time.
        if (!IsExistingFile(mainProgram)) return;
        if (offer->CreateOnDesktop) CreateLinkToMainProgram(Desktop, mainProgram);
        if (offer->CreateInQuickLaunch) CreateLinkToMainProgram(QuickLaunch, mainProgram);
    } else if (IsExistingFolder(folder)) {
        ShellOpen("explore", folder, SW_SHOWNORMAL);
    }
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // First of all: unpacked in a downloads folder, this program may lie
    // beside anyone's DLL.
    LoadDllsFromSystemFolderOnly();
    char folder[MAX_PATH];
    char mainProgram[MAX_PATH];
    char helpPage[MAX_PATH];
    FindOwnFolder(folder);
    ComposeBesideInstaller(mainProgram, folder, "\\Quillet.exe");
    ComposeBesideInstaller(helpPage, folder, "\\Dovemere.html");

    // Before any check, so the page is there even when the program is not.
    OpenHelpPage(helpPage);
    if (!IsExistingFile(mainProgram)) {
        MessageBoxA(nullptr, MissingMainProgram, Caption, MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
        return 0;
    }

    bool onDesktop = HoldsLinkTo(Desktop, mainProgram);
    bool inQuickLaunch = HoldsLinkTo(QuickLaunch, mainProgram);
    OfferMissingLinks(folder, mainProgram, onDesktop, inQuickLaunch);

    // Started last: finding this file beside it, the main program deletes it.
    ShellOpen(nullptr, mainProgram, SW_SHOWNORMAL);
    return 0;
}

// The all-users places under User Account Control: whether this run has the
// limited token of an administrator, the offer to open the program again as
// administrator, and the hand-over of the single-instance guard and of what
// the user had in the dialog to that run.
#pragma once
#include <windows.h>

extern const char InstanceMutexName[]; // "Mutex_Pathwick"

// One of the four places every user of the computer shares.
bool IsAllUsersPlace(const char* valueName);
// The run has an administrator's limited token (Vista and later). False on
// any failure, so Windows before Vista, where there is no elevation, and
// Windows 95, 98 and ME, which have no token at all, never see an offer.
bool HasLimitedAdminToken();

// Asks whether to open the program again as administrator for the place
// shown as `placeName`, and on Yes starts it with the "runas" verb, handing
// over the dialog's texts. True once that start succeeded: the caller then
// closes its dialog the normal way, and the end of WinMain hands the
// instance over. Never asks while a hand-over is pending.
bool OfferRestartAsAdmin(HWND dialog, const char* placeName);

// Start-up: whether the argument text is a hand-over from the offer. Its
// target goes to `target` (260 bytes); the other texts are kept for the
// link dialog.
bool TakeHandOverMarker(const char* argumentText, char* target);
// Start-up of a marked run. False when no run is handing over: the run then
// starts as any other (and a second one ends). Otherwise it holds the guard
// beside the old run, tells it so, and waits (bounded) until the old run has
// ended its dialog and written its settings; `guard` stays null when another
// account's run cannot open the guard, and the run goes on without it.
bool JoinInstanceMutex(HANDLE* guard);
// End of WinMain: when this run handed over, waits (bounded) until the new
// run holds the guard, then lets go of it.
void FinishHandOver();

// The link dialog of a marked run: the handed-over link name, description
// and user folder when it opens, and the group texts once (after the first
// scan, which rewrites the group boxes, or at once when none runs).
void ShowHandedOverTexts(HWND dialog, bool scanFollows);
void ShowHandedOverGroups(HWND dialog);

// An elevated run lets Explorer, which runs with the limited token, drop
// files on the link dialog.
void LetShellDropsThrough(HWND dialog);

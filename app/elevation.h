// The all-users places under User Account Control: whether this run has the
// limited token of an administrator, the offer to open the program again as
// administrator, and the hand-over of the single-instance guard to that run.
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
// shown as `placeName`, and on Yes starts it with the "runas" verb on
// `target`. True once that start succeeded: the caller then closes its
// dialog the normal way, and the end of WinMain hands the instance over.
bool OfferRestartAsAdmin(HWND owner, const char* placeName, const char* target);

// Start-up: whether the argument text marks a run started by the offer, and
// the target that follows the marker.
bool TakeHandOverMarker(const char* argumentText, const char** target);
// Start-up of a run marked as hand-over: holds the guard beside the old run,
// tells it so, and waits (bounded) until the old run has ended its dialog and
// written its settings. Null when the guard cannot be had.
HANDLE JoinInstanceMutex();
// End of WinMain: when this run handed over, waits (bounded) until the new
// run holds the guard, then lets go of it.
void FinishHandOver();

// Quillet.ini beside the program: a header line and the one key USER_FOLDER.
#pragma once

void ReadSettings();
void WriteSettings();

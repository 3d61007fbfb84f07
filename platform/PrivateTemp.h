// "\Temp", where members are extracted to be opened in place: private to the user (mode 0700,
// the user's own, never a link) and one folder per running program, so that programs never
// see each other's files. It is emptied when the program ends; the folders of programs that
// ended without that go at the next start.
#pragma once

namespace platform
{

// Makes "\Temp" (and the per-user folder that holds it) and holds it for this program.
// False when the per-user folder exists but is not safely the user's.
bool PreparePrivateTemp();
// Removes this program's "\Temp" with everything in it.
void RemovePrivateTemp();
// Removes the "\Temp" folders of programs that are no longer running (default mapping only).
void RemoveStaleTemps();

} // namespace platform

// The longest path or name a member record holds.
#pragma once

// Paths and names hold at most 259 characters and the terminator.
constexpr int kMaxPath = 260;

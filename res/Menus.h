// The menu bar, the accelerators, the command bar and the command strings of the main
// frame (resource 128).
#pragma once

#include <vector>

struct MenuItem
{
    int id; // 0 for a separator
    const wchar_t* text;
};

struct Menu
{
    const wchar_t* title;
    std::vector<MenuItem> items;
};

// Modifier bits and the keys of the accelerator table that are not letters.
constexpr unsigned kAccelCtrl = 0x1;
constexpr unsigned kAccelShift = 0x2;
constexpr int kKeyDelete = 0x7F;
constexpr int kKeyReturn = 0x0D;

struct Accelerator
{
    unsigned modifiers; // kAccelCtrl, kAccelShift
    int key;            // an upper-case letter or one of the kKey values
    int id;
};

struct CommandBarEntry
{
    int image; // -1 for a separator
    int id;
};

const std::vector<Menu>& MainMenu();
// The list's context menu: the commands on its rows, with their keys.
const std::vector<MenuItem>& ListContextMenu();
const std::vector<Accelerator>& MainAccelerators();
const std::vector<CommandBarEntry>& MainCommandBar();
// "status text\ntool tip" of a command, or null.
const wchar_t* CommandString(int id);

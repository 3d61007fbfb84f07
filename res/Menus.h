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

struct Accelerator
{
    bool ctrl;
    wchar_t key;
    int id;
};

struct CommandBarEntry
{
    int image; // -1 for a separator
    int id;
};

const std::vector<Menu>& MainMenu();
const std::vector<Accelerator>& MainAccelerators();
const std::vector<CommandBarEntry>& MainCommandBar();
// "status text\ntool tip" of a command, or null.
const wchar_t* CommandString(int id);

// Placing a template's controls on GTK, whose controls need more room than the template's
// rectangles give: each control gets at least its best size, and what lies to its right or
// below it (group boxes with what they hold) moves on by as much, keeping the template's
// gaps. The check used by tests compares every control with its best size and its
// neighbours.
#pragma once

#include "res/DialogTemplates.h"

#include <string>
#include <vector>

#include <wx/gdicmn.h>

class wxWindow;

struct LaidControl
{
    wxWindow* window;
    ControlKind kind;
    wxRect planned; // the template's rectangle in pixels
};

// Sizes and moves the controls; returns the client size that holds them with the
// template's right and bottom margins (at least templateSize).
wxSize LayOutControls(std::vector<LaidControl>& controls, const wxSize& templateSize);

// What is wrong with the controls as they are placed on a parent of this client size: a
// control smaller than its best size, outside the parent, overlapping another, or a group
// box not holding its controls. One line per fault, each starting with where.
std::vector<std::string> CheckControls(const std::vector<LaidControl>& controls,
                                       const wxSize& clientSize, const std::string& where);

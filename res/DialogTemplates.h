// Dialog templates as data: controls with their ids, kinds, captions and rectangles in
// dialog units. A backend turns a template into real controls.
#pragma once

#include <vector>

enum class ControlKind
{
    Static,
    Edit,
    ReadOnlyEdit, // read-only, no border
    PasswordEdit,
    CheckBox,
    RadioButton, // the first of a group starts the group
    GroupBox,
    ComboBox,     // drop-down with an edit field
    DropDownList, // drop-down list without an edit field
    Button,
    DefaultButton,
    ProgressBar,
    Icon,
    BrowseButton, // opens the folder chooser for the edit field `target`
};

struct ControlTemplate
{
    int id; // -1 for labels that nothing refers to
    ControlKind kind;
    const wchar_t* text;
    int x, y, width, height;
    bool visible = true;
    bool groupStart = false; // a radio group or a tab stop group begins here
    int target = 0;          // a browse button: the id of the edit field it fills
};

struct DialogTemplate
{
    int id;
    const wchar_t* caption;
    int width, height;
    bool modeless = false;
    bool child = false; // a page of a property sheet or a bar: no caption or frame
    std::vector<ControlTemplate> controls;
};

// The template with this id, or null.
const DialogTemplate* FindDialogTemplate(int id);
// Every template, in the order of their ids.
const std::vector<DialogTemplate>& AllDialogTemplates();

// Items of the drop-down lists of dialog 136, in order.
const std::vector<const wchar_t*>& CompressMethodItems();
const std::vector<const wchar_t*>& CompressActionItems();
// The choices of the setting NameEncoding, by its value.
const std::vector<const wchar_t*>& NameEncodingItems();

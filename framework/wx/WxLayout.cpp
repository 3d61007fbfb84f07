// Placing template controls by their best sizes, and the check of what was placed.
#include "framework/wx/WxLayout.h"

#include <algorithm>

#include <wx/textctrl.h>
#include <wx/window.h>

namespace
{

// Pixels a text field adds above and below its line of text.
constexpr int kTextFrame = 8;

bool IsGroup(const LaidControl& c)
{
    return c.kind == ControlKind::GroupBox;
}

// Fields take the template's width: their text scrolls. Everything else shows its whole
// label.
bool KeepsPlannedWidth(ControlKind kind)
{
    switch (kind) {
    case ControlKind::Edit:
    case ControlKind::ReadOnlyEdit:
    case ControlKind::PasswordEdit:
    case ControlKind::ComboBox:
    case ControlKind::DropDownList:
    case ControlKind::ProgressBar:
    case ControlKind::GroupBox:
        return true;
    default:
        return false;
    }
}

wxSize BestSizeOf(wxWindow* w)
{
    // A text field's own best height follows the height it was given and the theme's state
    // at the time: it needs room for one line of its text and a frame around it.
    if (auto* text = dynamic_cast<wxTextCtrl*>(w)) {
        wxSize line = text->GetTextExtent(L"Wgあ");
        return wxSize(line.x, line.y + kTextFrame);
    }
    // A size given at creation counts as the minimum: the best size is the control's own.
    wxSize saved = w->GetMinSize();
    w->SetMinSize(wxDefaultSize);
    w->InvalidateBestSize();
    wxSize best = w->GetBestSize();
    w->SetMinSize(saved);
    return best;
}

bool Inside(const wxRect& outer, const wxRect& inner)
{
    return inner.x >= outer.x && inner.y >= outer.y && inner.GetRight() <= outer.GetRight() &&
           inner.GetBottom() <= outer.GetBottom();
}

// Whether the planned ranges [a0, a0 + an) and [b0, b0 + bn) meet.
bool Meet(int a0, int an, int b0, int bn)
{
    return a0 < b0 + bn && b0 < a0 + an;
}

// One pass along an axis (horizontal: x and width). Each control keeps its planned gap to
// what precedes it on that axis and its planned offset inside its group boxes; a group box
// grows to hold what it holds with its planned inner margin.
void Push(std::vector<LaidControl>& controls, std::vector<wxRect>& placed, bool horizontal)
{
    auto start = [&](const wxRect& r) { return horizontal ? r.x : r.y; };
    auto length = [&](const wxRect& r) { return horizontal ? r.width : r.height; };
    auto crossStart = [&](const wxRect& r) { return horizontal ? r.y : r.x; };
    auto crossLength = [&](const wxRect& r) { return horizontal ? r.height : r.width; };
    auto setStart = [&](wxRect& r, int v) { (horizontal ? r.x : r.y) = v; };
    auto setLength = [&](wxRect& r, int v) { (horizontal ? r.width : r.height) = v; };

    std::vector<size_t> order(controls.size());
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return start(controls[a].planned) < start(controls[b].planned);
    });
    std::vector<size_t> done;
    for (size_t i : order) {
        const wxRect& plan = controls[i].planned;
        int position = start(placed[i]);
        for (size_t p : done) {
            const wxRect& other = controls[p].planned;
            if (IsGroup(controls[p]) && Inside(other, plan)) {
                position = std::max(position, start(placed[p]) + start(plan) - start(other));
            } else if (start(other) + length(other) <= start(plan) &&
                       Meet(crossStart(other), crossLength(other), crossStart(plan),
                            crossLength(plan))) {
                int gap = start(plan) - (start(other) + length(other));
                position = std::max(position, start(placed[p]) + length(placed[p]) + gap);
            }
        }
        setStart(placed[i], position);
        // Every group box that holds this control reaches past it by its planned margin.
        for (size_t g : done) {
            const wxRect& group = controls[g].planned;
            if (IsGroup(controls[g]) && Inside(group, plan)) {
                int margin = start(group) + length(group) - (start(plan) + length(plan));
                int end = start(placed[i]) + length(placed[i]) + std::max(margin, 0);
                setLength(placed[g], std::max(length(placed[g]), end - start(placed[g])));
            }
        }
        done.push_back(i);
    }
}

} // namespace

wxSize LayOutControls(std::vector<LaidControl>& controls, const wxSize& templateSize)
{
    std::vector<wxRect> placed;
    int plannedRight = 0, plannedBottom = 0;
    for (LaidControl& c : controls) {
        wxRect r = c.planned;
        if (!IsGroup(c)) {
            wxSize best = BestSizeOf(c.window);
            r.height = std::max(r.height, best.y);
            if (!KeepsPlannedWidth(c.kind)) {
                r.width = std::max(r.width, best.x);
            }
        }
        placed.push_back(r);
        plannedRight = std::max(plannedRight, c.planned.GetRight() + 1);
        plannedBottom = std::max(plannedBottom, c.planned.GetBottom() + 1);
    }
    Push(controls, placed, true);
    Push(controls, placed, false);
    int right = 0, bottom = 0;
    for (size_t i = 0; i < controls.size(); ++i) {
        controls[i].window->SetSize(placed[i]);
        if (controls[i].window->IsShown()) {
            right = std::max(right, placed[i].GetRight() + 1);
            bottom = std::max(bottom, placed[i].GetBottom() + 1);
        }
    }
    // The template's margins to the right and below, at least a few pixels.
    int marginX = std::max(templateSize.x - plannedRight, 6);
    int marginY = std::max(templateSize.y - plannedBottom, 6);
    return wxSize(std::max(templateSize.x, right + marginX),
                  std::max(templateSize.y, bottom + marginY));
}

std::vector<std::string> CheckControls(const std::vector<LaidControl>& controls,
                                       const wxSize& clientSize, const std::string& where)
{
    std::vector<std::string> faults;
    auto name = [&](const LaidControl& c) {
        wxRect r = c.window->GetRect();
        return where + " '" + c.window->GetLabel().utf8_string() + "' (" + std::to_string(r.x) +
               "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
               std::to_string(r.height) + ")";
    };
    wxRect client(wxPoint(0, 0), clientSize);
    for (size_t i = 0; i < controls.size(); ++i) {
        const LaidControl& c = controls[i];
        if (!c.window->IsShown()) {
            continue;
        }
        wxRect r = c.window->GetRect();
        wxSize best = BestSizeOf(c.window);
        bool narrow = !KeepsPlannedWidth(c.kind) && r.width < best.x;
        if (!IsGroup(c) && (narrow || r.height < best.y)) {
            faults.push_back(name(c) + " is " + std::to_string(r.width) + "x" +
                             std::to_string(r.height) + ", needs " + std::to_string(best.x) + "x" +
                             std::to_string(best.y));
        }
        if (!Inside(client, r)) {
            faults.push_back(name(c) + " reaches outside its window of " +
                             std::to_string(clientSize.x) + "x" + std::to_string(clientSize.y));
        }
        for (size_t j = 0; j < controls.size(); ++j) {
            const LaidControl& d = controls[j];
            if (j == i || !d.window->IsShown()) {
                continue;
            }
            wxRect o = d.window->GetRect();
            if (IsGroup(d) && Inside(d.planned, c.planned) && !Inside(o, r)) {
                faults.push_back(name(c) + " sticks out of group " + name(d));
            } else if (j > i && !IsGroup(c) && !IsGroup(d) && r.Intersects(o)) {
                faults.push_back(name(c) + " overlaps " + name(d));
            }
        }
    }
    return faults;
}

#pragma once

#include <wx/string.h>

class wxWindow;

// What a control that draws itself tells assistive technologies (screen readers, switch
// access): the toolkit knows such a control only as a plain panel. A control implements the
// questions below and calls AttachAccessible once its window exists; from then on the desktop's
// accessibility bus is answered from it (accessible_gtk.cpp). Names and states are asked when
// needed, so they always follow the control's label, language and state; the Notify functions
// tell listeners that something they may have read changed.
//
// A table (the file list) also answers the table part: rows, columns, cell texts, column
// headers, selected rows, and the progress of a row as a value.
class Accessible {
public:
    enum class Role {
        kPanel,
        kPushButton,
        kCheckBox,
        kRadioButton,
        kMenuBar,
        kMenuTitle,
        kLink,
        kLabel,
        kImage,
        kTable,
    };
    // States beyond those the toolkit knows (enabled, shown, focused).
    enum State : unsigned { kChecked = 1, kPressed = 2 };

    Accessible() = default;
    Accessible(const Accessible&) = delete;
    Accessible& operator=(const Accessible&) = delete;
    virtual ~Accessible();

    virtual Role GetAccessibleRole() const = 0;
    // The control's label as the user reads it, in the user's language.
    virtual wxString GetAccessibleName() const = 0;
    // A longer description: the control's tooltip by default.
    virtual wxString GetAccessibleDescription() const;
    // A combination of State flags.
    virtual unsigned GetAccessibleStates() const { return 0; }
    // Whether the control has a default action ("click"): pressing a button, toggling a check
    // box, selecting a radio button, opening a menu, following a link.
    virtual bool HasAccessibleAction() const { return false; }
    // Performs the default action as a click would. Called from the main loop, never from
    // within a request of the bus, so that a dialog it opens does not block the caller.
    virtual void DoAccessibleAction() {}

    // The table part; a control that is no table keeps these defaults.
    virtual int GetAccessibleRows() const { return 0; }
    virtual int GetAccessibleColumns() const { return 0; }
    virtual wxString GetAccessibleCell(int /*row*/, int /*col*/) const { return {}; }
    virtual wxString GetAccessibleColumnHeader(int /*col*/) const { return {}; }
    virtual bool IsAccessibleRowSelected(int /*row*/) const { return false; }
    virtual void SelectAccessibleRow(int /*row*/) {}
    // The column whose cells report a progress value (0..100), or -1.
    virtual int GetAccessibleProgressColumn() const { return -1; }
    virtual int GetAccessibleProgress(int /*row*/) const { return 0; }

    // Tells listeners that the name (label or language) changed.
    void NotifyAccessibleNameChanged();
    // Tells listeners that a state changed.
    void NotifyAccessibleStateChanged(State state, bool on);
    // Tables: the rows were added, removed or reordered.
    void NotifyAccessibleRowsChanged();
    // Tables: a cell's text (and, in the progress column, its value) changed; announced to
    // screen readers as a polite live change.
    void NotifyAccessibleCellChanged(int row, int col);
    // Tables: the selected rows changed; the first selected row becomes the active one.
    void NotifyAccessibleSelectionChanged();

    // After a switch of the interface's language: every attached control's name changed.
    static void NotifyAllNamesChanged();
    // The object attached to a window, or null.
    static Accessible* Find(const wxWindow* window);
    // Names a control the toolkit makes accessible itself (a text field, a choice) whose label
    // is a separate text beside it. Called again after a switch of language.
    static void NameNative(wxWindow* window, const wxString& name);
    // Names every text field and choice among the window's descendants after the label on
    // its left in the same row ("Proxy Port:" names the field beside it) and links the two,
    // as a screen reader expects; fields that have a name keep it. Once the window is laid out.
    static void NameFieldsByLabels(wxWindow* window);
    // Marks a window that only draws part of another control (the headers and corner of a
    // grid): an unnamed panel that never takes the focus.
    static void MarkDecorative(wxWindow* window);

protected:
    // Ties this object to the control's window, once the window exists. The object must be
    // destroyed before the window (a base class listed after the window's class, or a
    // member, is).
    void AttachAccessible(wxWindow* window);
    wxWindow* GetAccessibleWindow() const { return m_window; }

private:
    wxWindow* m_window = nullptr;
};

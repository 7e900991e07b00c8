// The accessibility bus on GTK: GTK answers it through ATK objects, one per widget, made when
// first asked for. A control that draws itself is a toolkit panel whose ATK object knows no name,
// role or action. The panels' widget class is therefore given an ATK type of ours, a subclass of
// GTK's own container object, that asks the Accessible attached to the widget and falls back to
// GTK's answers for panels without one. A table's cells are small ATK objects of ours, made when
// asked for and kept until the rows change.
#include "common/accessible.h"

#include <wx/app.h>
#include <wx/ctrlsub.h>
#include <wx/sizer.h>
#include <wx/textentry.h>
#include <wx/tooltip.h>
#include <wx/window.h>

#include <atk/atk.h>
#include <gtk/gtk-a11y.h>
#include <gtk/gtk.h>

#include <map>
#include <set>
#include <string>
#include <utility>

namespace {
constexpr const char* kAttachedKey = "ombrix-accessible";
constexpr const char* kObjectKey = "ombrix-atk-object";
constexpr const char* kDecorativeKey = "ombrix-decorative";

std::set<Accessible*>& Attached() {
    static std::set<Accessible*> attached;
    return attached;
}

// The widget that draws a window's content: its client area when it has one (a window with
// scroll bars is a scrolled window around it), else the control's own widget.
GtkWidget* WidgetOf(const wxWindow* window) {
    if (window == nullptr) {
        return nullptr;
    }
    return window->m_wxwindow != nullptr ? window->m_wxwindow : window->m_widget;
}

Accessible* FromWidget(GtkWidget* widget) {
    return widget != nullptr
               ? static_cast<Accessible*>(g_object_get_data(G_OBJECT(widget), kAttachedKey))
               : nullptr;
}

Accessible* FromObject(AtkObject* object) {
    return FromWidget(gtk_accessible_get_widget(GTK_ACCESSIBLE(object)));
}

// ATK returns names as strings the object owns: each is kept on the object until the next.
const gchar* Keep(AtkObject* object, const char* key, const wxString& text) {
    const wxScopedCharBuffer utf8 = text.utf8_str();
    g_object_set_data_full(G_OBJECT(object), key, g_strdup(utf8.data()), g_free);
    return static_cast<const gchar*>(g_object_get_data(G_OBJECT(object), key));
}

AtkRole ToAtk(Accessible::Role role) {
    switch (role) {
    case Accessible::Role::kPanel:
        return ATK_ROLE_PANEL;
    case Accessible::Role::kPushButton:
        return ATK_ROLE_PUSH_BUTTON;
    case Accessible::Role::kCheckBox:
        return ATK_ROLE_CHECK_BOX;
    case Accessible::Role::kRadioButton:
        return ATK_ROLE_RADIO_BUTTON;
    case Accessible::Role::kMenuBar:
        return ATK_ROLE_MENU_BAR;
    case Accessible::Role::kMenuTitle:
        return ATK_ROLE_MENU_ITEM;
    case Accessible::Role::kLink:
        return ATK_ROLE_LINK;
    case Accessible::Role::kLabel:
        return ATK_ROLE_LABEL;
    case Accessible::Role::kImage:
        return ATK_ROLE_IMAGE;
    case Accessible::Role::kTable:
        return ATK_ROLE_TABLE;
    }
    return ATK_ROLE_PANEL;
}

// ---- Cells

struct OmbrixCell {
    AtkObject parent;
    AtkObject* table; // not owned: cleared when the table lets its cells go, see TableCells
    int row;
    int col;
};

GType CellType();
GType ProgressCellType();

OmbrixCell* OMBRIX_CELL(gpointer object) {
    return static_cast<OmbrixCell*>(object);
}

// Registers a class of ours; the macros of GObject do not compile cleanly as C++.
GType RegisterType(GType parent, const char* name, guint16 classSize, GClassInitFunc classInit,
                   guint16 instanceSize) {
    GTypeInfo info{};
    info.class_size = classSize;
    info.class_init = classInit;
    info.instance_size = instanceSize;
    return g_type_register_static(parent, name, &info, GTypeFlags(0));
}

void AddInterface(GType type, GType interface, GInterfaceInitFunc init) {
    GInterfaceInfo info{};
    info.interface_init = init;
    g_type_add_interface_static(type, interface, &info);
}

Accessible* CellTable(AtkObject* object) {
    OmbrixCell* cell = OMBRIX_CELL(object);
    return cell->table != nullptr ? FromObject(cell->table) : nullptr;
}

// The cells made so far, per table object; released when the rows change or the table goes.
struct TableCells {
    std::map<std::pair<int, int>, AtkObject*> cells;

    ~TableCells() { Clear(); }
    void Clear() {
        for (auto& [where, cell] : cells) {
            OMBRIX_CELL(cell)->table = nullptr;
            atk_object_notify_state_change(cell, ATK_STATE_DEFUNCT, TRUE);
            g_object_unref(cell);
        }
        cells.clear();
    }
};

TableCells& CellsOf(AtkObject* table) {
    auto* cells = static_cast<TableCells*>(g_object_get_data(G_OBJECT(table), "ombrix-cells"));
    if (cells == nullptr) {
        cells = new TableCells;
        g_object_set_data_full(G_OBJECT(table), "ombrix-cells", cells,
                               [](gpointer data) { delete static_cast<TableCells*>(data); });
    }
    return *cells;
}

AtkObject* CellAt(AtkObject* table, int row, int col) {
    const Accessible* accessible = FromObject(table);
    if (accessible == nullptr || row < 0 || col < 0 || row >= accessible->GetAccessibleRows() ||
        col >= accessible->GetAccessibleColumns()) {
        return nullptr;
    }
    TableCells& cells = CellsOf(table);
    auto found = cells.cells.find({row, col});
    if (found != cells.cells.end()) {
        return found->second;
    }
    const GType type =
        col == accessible->GetAccessibleProgressColumn() ? ProgressCellType() : CellType();
    auto* cell = static_cast<AtkObject*>(g_object_new(type, nullptr));
    OMBRIX_CELL(cell)->table = table;
    OMBRIX_CELL(cell)->row = row;
    OMBRIX_CELL(cell)->col = col;
    atk_object_set_parent(cell, table);
    cells.cells.emplace(std::make_pair(row, col), cell);
    return cell;
}

AtkObject* FindCell(AtkObject* table, int row, int col) {
    auto* cells = static_cast<TableCells*>(g_object_get_data(G_OBJECT(table), "ombrix-cells"));
    if (cells == nullptr) {
        return nullptr;
    }
    auto found = cells->cells.find({row, col});
    return found != cells->cells.end() ? found->second : nullptr;
}

const gchar* CellGetName(AtkObject* object) {
    const Accessible* table = CellTable(object);
    const OmbrixCell* cell = OMBRIX_CELL(object);
    return Keep(object, "ombrix-name",
                table != nullptr ? table->GetAccessibleCell(cell->row, cell->col) : wxString());
}

gint CellGetIndexInParent(AtkObject* object) {
    const Accessible* table = CellTable(object);
    const OmbrixCell* cell = OMBRIX_CELL(object);
    return table != nullptr ? cell->row * table->GetAccessibleColumns() + cell->col : -1;
}

AtkStateSet* CellRefStateSet(AtkObject* object) {
    AtkStateSet* states = atk_state_set_new();
    const Accessible* table = CellTable(object);
    if (table == nullptr) {
        atk_state_set_add_state(states, ATK_STATE_DEFUNCT);
        return states;
    }
    for (AtkStateType state : {ATK_STATE_ENABLED, ATK_STATE_SENSITIVE, ATK_STATE_VISIBLE,
                               ATK_STATE_SHOWING, ATK_STATE_SELECTABLE, ATK_STATE_TRANSIENT}) {
        atk_state_set_add_state(states, state);
    }
    if (table->IsAccessibleRowSelected(OMBRIX_CELL(object)->row)) {
        atk_state_set_add_state(states, ATK_STATE_SELECTED);
    }
    return states;
}

AtkAttributeSet* CellGetAttributes(AtkObject* object) {
    // The status column changes while a job runs: screen readers announce it politely.
    const Accessible* table = CellTable(object);
    if (table == nullptr || OMBRIX_CELL(object)->col != table->GetAccessibleProgressColumn()) {
        return nullptr;
    }
    auto* live = static_cast<AtkAttribute*>(g_malloc(sizeof(AtkAttribute)));
    live->name = g_strdup("live");
    live->value = g_strdup("polite");
    return g_slist_append(nullptr, live);
}

AtkRole CellGetRole(AtkObject*) {
    return ATK_ROLE_TABLE_CELL;
}

void CellClassInit(gpointer klass, gpointer) {
    auto* object = static_cast<AtkObjectClass*>(klass);
    object->get_name = CellGetName;
    object->get_role = CellGetRole;
    object->get_index_in_parent = CellGetIndexInParent;
    object->ref_state_set = CellRefStateSet;
    object->get_attributes = CellGetAttributes;
}

GType CellType() {
    static const GType type = RegisterType(ATK_TYPE_OBJECT, "OmbrixCell", sizeof(AtkObjectClass),
                                           CellClassInit, sizeof(OmbrixCell));
    return type;
}

// A status cell: its row's progress as a value from 0 to 100.
double CellProgress(AtkValue* value) {
    const Accessible* table = CellTable(ATK_OBJECT(value));
    return table != nullptr ? table->GetAccessibleProgress(OMBRIX_CELL(value)->row) : 0.0;
}

void CellGetValueAndText(AtkValue* value, gdouble* current, gchar** text) {
    if (current != nullptr) {
        *current = CellProgress(value);
    }
    if (text != nullptr) {
        *text = g_strdup(CellGetName(ATK_OBJECT(value)));
    }
}

AtkRange* CellGetRange(AtkValue*) {
    return atk_range_new(0.0, 100.0, nullptr);
}

void SetDouble(GValue* value, double number) {
    g_value_init(value, G_TYPE_DOUBLE);
    g_value_set_double(value, number);
}

void ProgressCellValueInit(gpointer table, gpointer) {
    auto* iface = static_cast<AtkValueIface*>(table);
    iface->get_value_and_text = CellGetValueAndText;
    iface->get_range = CellGetRange;
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    iface->get_current_value = [](AtkValue* value, GValue* out) {
        SetDouble(out, CellProgress(value));
    };
    iface->get_minimum_value = [](AtkValue*, GValue* out) { SetDouble(out, 0.0); };
    iface->get_maximum_value = [](AtkValue*, GValue* out) { SetDouble(out, 100.0); };
    G_GNUC_END_IGNORE_DEPRECATIONS
}

GType ProgressCellType() {
    static const GType type = [] {
        const GType registered = RegisterType(CellType(), "OmbrixProgressCell",
                                              sizeof(AtkObjectClass), nullptr, sizeof(OmbrixCell));
        AddInterface(registered, ATK_TYPE_VALUE, ProgressCellValueInit);
        return registered;
    }();
    return type;
}

// ---- Panels

GType PanelType();

AtkObjectClass* PanelParentClass() {
    return ATK_OBJECT_CLASS(g_type_class_peek(GTK_TYPE_CONTAINER_ACCESSIBLE));
}

const gchar* PanelGetName(AtkObject* object) {
    const Accessible* accessible = FromObject(object);
    if (accessible == nullptr) {
        return PanelParentClass()->get_name(object);
    }
    return Keep(object, "ombrix-name", accessible->GetAccessibleName());
}

const gchar* PanelGetDescription(AtkObject* object) {
    const Accessible* accessible = FromObject(object);
    if (accessible == nullptr) {
        return PanelParentClass()->get_description(object);
    }
    return Keep(object, "ombrix-description", accessible->GetAccessibleDescription());
}

AtkRole PanelGetRole(AtkObject* object) {
    const Accessible* accessible = FromObject(object);
    return accessible != nullptr ? ToAtk(accessible->GetAccessibleRole())
                                 : PanelParentClass()->get_role(object);
}

AtkStateSet* PanelRefStateSet(AtkObject* object) {
    AtkStateSet* states = PanelParentClass()->ref_state_set(object);
    const Accessible* accessible = FromObject(object);
    if (accessible == nullptr) {
        GtkWidget* widget = gtk_accessible_get_widget(GTK_ACCESSIBLE(object));
        if (widget != nullptr && g_object_get_data(G_OBJECT(widget), kDecorativeKey) != nullptr) {
            atk_state_set_remove_state(states, ATK_STATE_FOCUSABLE);
        }
        return states;
    }
    const Accessible::Role role = accessible->GetAccessibleRole();
    if (role == Accessible::Role::kLabel || role == Accessible::Role::kImage ||
        role == Accessible::Role::kPanel || role == Accessible::Role::kMenuBar) {
        // The toolkit lets every panel take the focus; these never do.
        atk_state_set_remove_state(states, ATK_STATE_FOCUSABLE);
    }
    const unsigned flags = accessible->GetAccessibleStates();
    if (role == Accessible::Role::kCheckBox || role == Accessible::Role::kRadioButton) {
        atk_state_set_add_state(states, ATK_STATE_CHECKABLE);
    }
    if ((flags & Accessible::kChecked) != 0) {
        atk_state_set_add_state(states, ATK_STATE_CHECKED);
    }
    if ((flags & Accessible::kPressed) != 0) {
        atk_state_set_add_state(states, ATK_STATE_PRESSED);
    }
    if (role == Accessible::Role::kTable) {
        atk_state_set_add_state(states, ATK_STATE_MULTISELECTABLE);
        atk_state_set_add_state(states, ATK_STATE_MANAGES_DESCENDANTS);
    }
    return states;
}

gint PanelGetNChildren(AtkObject* object) {
    const Accessible* accessible = FromObject(object);
    if (accessible == nullptr || accessible->GetAccessibleRole() != Accessible::Role::kTable) {
        return PanelParentClass()->get_n_children(object);
    }
    return accessible->GetAccessibleRows() * accessible->GetAccessibleColumns();
}

AtkObject* PanelRefChild(AtkObject* object, gint index) {
    const Accessible* accessible = FromObject(object);
    if (accessible == nullptr || accessible->GetAccessibleRole() != Accessible::Role::kTable) {
        return PanelParentClass()->ref_child(object, index);
    }
    const int cols = accessible->GetAccessibleColumns();
    AtkObject* cell = cols > 0 ? CellAt(object, index / cols, index % cols) : nullptr;
    return cell != nullptr ? ATK_OBJECT(g_object_ref(cell)) : nullptr;
}

// Actions: one, "click", for the controls that have a default action.
gint ActionCount(AtkAction* action) {
    const Accessible* accessible = FromObject(ATK_OBJECT(action));
    return accessible != nullptr && accessible->HasAccessibleAction() ? 1 : 0;
}

gboolean ActionDo(AtkAction* action, gint index) {
    Accessible* accessible = FromObject(ATK_OBJECT(action));
    if (index != 0 || accessible == nullptr || !accessible->HasAccessibleAction()) {
        return FALSE;
    }
    GtkWidget* widget = gtk_accessible_get_widget(GTK_ACCESSIBLE(action));
    if (widget == nullptr || !gtk_widget_is_sensitive(widget)) {
        return FALSE;
    }
    // Later, from the main loop: the action may open a modal dialog.
    g_idle_add(
        [](gpointer data) -> gboolean {
            auto* target = static_cast<GtkWidget*>(data);
            if (Accessible* current = FromWidget(target); current != nullptr) {
                current->DoAccessibleAction();
            }
            g_object_unref(target);
            return G_SOURCE_REMOVE;
        },
        g_object_ref(widget));
    return TRUE;
}

const gchar* ActionName(AtkAction*, gint index) {
    return index == 0 ? "click" : nullptr;
}

void PanelActionInit(gpointer table, gpointer) {
    auto* iface = static_cast<AtkActionIface*>(table);
    iface->get_n_actions = ActionCount;
    iface->do_action = ActionDo;
    iface->get_name = ActionName;
}

// The table part.
const Accessible* TableOf(AtkTable* table) {
    const Accessible* accessible = FromObject(ATK_OBJECT(table));
    return accessible != nullptr && accessible->GetAccessibleRole() == Accessible::Role::kTable
               ? accessible
               : nullptr;
}

gint TableRows(AtkTable* table) {
    const Accessible* accessible = TableOf(table);
    return accessible != nullptr ? accessible->GetAccessibleRows() : 0;
}

gint TableColumns(AtkTable* table) {
    const Accessible* accessible = TableOf(table);
    return accessible != nullptr ? accessible->GetAccessibleColumns() : 0;
}

AtkObject* TableRefAt(AtkTable* table, gint row, gint col) {
    if (TableOf(table) == nullptr) {
        return nullptr;
    }
    AtkObject* cell = CellAt(ATK_OBJECT(table), row, col);
    return cell != nullptr ? ATK_OBJECT(g_object_ref(cell)) : nullptr;
}

gint TableIndexAt(AtkTable* table, gint row, gint col) {
    const gint cols = TableColumns(table);
    return row >= 0 && col >= 0 && col < cols && row < TableRows(table) ? row * cols + col : -1;
}

gint TableRowAtIndex(AtkTable* table, gint index) {
    const gint cols = TableColumns(table);
    return cols > 0 && index >= 0 ? index / cols : -1;
}

gint TableColumnAtIndex(AtkTable* table, gint index) {
    const gint cols = TableColumns(table);
    return cols > 0 && index >= 0 ? index % cols : -1;
}

const gchar* TableColumnDescription(AtkTable* table, gint col) {
    const Accessible* accessible = TableOf(table);
    if (accessible == nullptr || col < 0 || col >= accessible->GetAccessibleColumns()) {
        return nullptr;
    }
    const std::string key = "ombrix-column-" + std::to_string(col);
    return Keep(ATK_OBJECT(table), key.c_str(), accessible->GetAccessibleColumnHeader(col));
}

// Column headers are label objects of their own, kept on the table.
AtkObject* TableColumnHeader(AtkTable* table, gint col) {
    const gchar* text = TableColumnDescription(table, col);
    if (text == nullptr) {
        return nullptr;
    }
    const std::string key = "ombrix-header-" + std::to_string(col);
    auto* header = static_cast<AtkObject*>(g_object_get_data(G_OBJECT(table), key.c_str()));
    if (header == nullptr) {
        header = static_cast<AtkObject*>(g_object_new(ATK_TYPE_OBJECT, nullptr));
        atk_object_set_role(header, ATK_ROLE_COLUMN_HEADER);
        atk_object_set_parent(header, ATK_OBJECT(table));
        g_object_set_data_full(G_OBJECT(table), key.c_str(), header, g_object_unref);
    }
    atk_object_set_name(header, text);
    return header;
}

gboolean TableIsRowSelected(AtkTable* table, gint row) {
    const Accessible* accessible = TableOf(table);
    return accessible != nullptr && row >= 0 && row < accessible->GetAccessibleRows() &&
           accessible->IsAccessibleRowSelected(row);
}

gboolean TableIsSelected(AtkTable* table, gint row, gint) {
    return TableIsRowSelected(table, row);
}

gint TableSelectedRows(AtkTable* table, gint** selected) {
    const Accessible* accessible = TableOf(table);
    std::vector<gint> rows;
    for (int row = 0; accessible != nullptr && row < accessible->GetAccessibleRows(); ++row) {
        if (accessible->IsAccessibleRowSelected(row)) {
            rows.push_back(row);
        }
    }
    if (selected != nullptr) {
        *selected = rows.empty()
                        ? nullptr
                        : static_cast<gint*>(g_memdup2(rows.data(), rows.size() * sizeof(gint)));
    }
    return static_cast<gint>(rows.size());
}

gboolean TableAddRowSelection(AtkTable* table, gint row) {
    Accessible* accessible = FromObject(ATK_OBJECT(table));
    if (TableOf(table) == nullptr || row < 0 || row >= accessible->GetAccessibleRows()) {
        return FALSE;
    }
    accessible->SelectAccessibleRow(row);
    return TRUE;
}

void PanelTableInit(gpointer table, gpointer) {
    auto* iface = static_cast<AtkTableIface*>(table);
    iface->ref_at = TableRefAt;
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    iface->get_index_at = TableIndexAt;
    iface->get_row_at_index = TableRowAtIndex;
    iface->get_column_at_index = TableColumnAtIndex;
    G_GNUC_END_IGNORE_DEPRECATIONS
    iface->get_n_rows = TableRows;
    iface->get_n_columns = TableColumns;
    iface->get_column_description = TableColumnDescription;
    iface->get_column_header = TableColumnHeader;
    iface->is_row_selected = TableIsRowSelected;
    iface->is_selected = TableIsSelected;
    iface->get_selected_rows = TableSelectedRows;
    iface->add_row_selection = TableAddRowSelection;
}

// Notes on the widget that its ATK object exists, so that notifications never make one.
void PanelInitialize(AtkObject* object, gpointer widget) {
    PanelParentClass()->initialize(object, widget);
    g_object_set_data(G_OBJECT(widget), kObjectKey, object);
}

void PanelClassInit(gpointer klass, gpointer) {
    auto* object = static_cast<AtkObjectClass*>(klass);
    object->initialize = PanelInitialize;
    object->get_name = PanelGetName;
    object->get_description = PanelGetDescription;
    object->get_role = PanelGetRole;
    object->ref_state_set = PanelRefStateSet;
    object->get_n_children = PanelGetNChildren;
    object->ref_child = PanelRefChild;
}

GType PanelType() {
    static const GType type = [] {
        const GType registered = RegisterType(GTK_TYPE_CONTAINER_ACCESSIBLE, "OmbrixPanel",
                                              sizeof(GtkContainerAccessibleClass), PanelClassInit,
                                              sizeof(GtkContainerAccessible));
        AddInterface(registered, ATK_TYPE_ACTION, PanelActionInit);
        AddInterface(registered, ATK_TYPE_TABLE, PanelTableInit);
        return registered;
    }();
    return type;
}

// Gives the widget's class our ATK type, once per class; its widgets' ATK objects are made
// when first asked for, so this applies to every widget of the class not yet asked.
bool InstallOn(GtkWidget* widget) {
    static std::set<GType> installed;
    const GType type = G_OBJECT_TYPE(widget);
    if (installed.count(type) != 0) {
        return true;
    }
    // Only the toolkit's own drawing area, whose ATK type is GTK's container object: a native
    // control keeps its own ATK type.
    if (g_strcmp0(g_type_name(type), "wxPizza") != 0) {
        return false;
    }
    gtk_widget_class_set_accessible_type(GTK_WIDGET_CLASS(g_type_class_peek(type)), PanelType());
    installed.insert(type);
    return true;
}

// The ATK object of the attached control's widget, when one was made (nobody asked otherwise,
// and nobody needs to be told).
AtkObject* ObjectOf(const wxWindow* window) {
    GtkWidget* widget = WidgetOf(window);
    return widget != nullptr
               ? static_cast<AtkObject*>(g_object_get_data(G_OBJECT(widget), kObjectKey))
               : nullptr;
}
} // namespace

Accessible::~Accessible() {
    if (m_window == nullptr) {
        return;
    }
    Attached().erase(this);
    if (GtkWidget* widget = WidgetOf(m_window); widget != nullptr) {
        if (AtkObject* object = ObjectOf(m_window); object != nullptr) {
            CellsOf(object).Clear();
        }
        g_object_set_data(G_OBJECT(widget), kAttachedKey, nullptr);
    }
}

wxString Accessible::GetAccessibleDescription() const {
    const wxToolTip* tip = m_window != nullptr ? m_window->GetToolTip() : nullptr;
    return tip != nullptr ? tip->GetTip() : wxString();
}

void Accessible::AttachAccessible(wxWindow* window) {
    GtkWidget* widget = WidgetOf(window);
    if (widget == nullptr || !InstallOn(widget)) {
        return;
    }
    m_window = window;
    g_object_set_data(G_OBJECT(widget), kAttachedKey, this);
    Attached().insert(this);
}

Accessible* Accessible::Find(const wxWindow* window) {
    return FromWidget(WidgetOf(window));
}

void Accessible::NameNative(wxWindow* window, const wxString& name) {
    if (GtkWidget* widget = window != nullptr ? window->m_widget : nullptr; widget != nullptr) {
        atk_object_set_name(gtk_widget_get_accessible(widget), name.utf8_str());
    }
}

namespace {
bool IsField(wxWindow* window) {
    return dynamic_cast<wxTextEntry*>(window) != nullptr ||
           dynamic_cast<wxItemContainer*>(window) != nullptr;
}

// Names a field after its label and links the two.
void LinkLabel(wxControl* label, wxWindow* field) {
    if (label->m_widget == nullptr || field->m_widget == nullptr) {
        return;
    }
    AtkObject* fieldObject = gtk_widget_get_accessible(field->m_widget);
    AtkObject* labelObject = gtk_widget_get_accessible(label->m_widget);
    // The label without its colon and the blanks around it ("Proxy type:", French
    // "Type de proxy :" with a no-break space, the full-width colon of Chinese and Japanese).
    wxString name = label->GetLabelText();
    while (!name.empty() && (name.Last() == ':' || name.Last() == wxUniChar(0xFF1A) ||
                             name.Last() == wxUniChar(0xA0) || name.Last() == wxUniChar(0x202F) ||
                             wxIsspace(name.Last()))) {
        name.RemoveLast();
    }
    atk_object_set_name(fieldObject, name.utf8_str());
    // A combo box that shows its choice in a text field: the field is named too.
    if (GTK_IS_COMBO_BOX(field->m_widget)) {
        GtkWidget* entry = gtk_bin_get_child(GTK_BIN(field->m_widget));
        if (entry != nullptr && GTK_IS_ENTRY(entry)) {
            atk_object_set_name(gtk_widget_get_accessible(entry), name.utf8_str());
        }
    }
    atk_object_add_relationship(fieldObject, ATK_RELATION_LABELLED_BY, labelObject);
    atk_object_add_relationship(labelObject, ATK_RELATION_LABEL_FOR, fieldObject);
}

// A field's label is the control laid out just before it in the same sizer: the layout says
// what belongs together even before a hidden page has a size.
void NameInSizer(wxSizer* sizer) {
    wxWindow* previous = nullptr;
    for (wxSizerItem* item : sizer->GetChildren()) {
        if (item->IsSizer()) {
            NameInSizer(item->GetSizer());
            previous = nullptr;
            continue;
        }
        wxWindow* window = item->GetWindow();
        if (window == nullptr) {
            continue;
        }
        auto* label = dynamic_cast<wxControl*>(previous);
        if (IsField(window) && label != nullptr && !IsField(previous) &&
            !label->GetLabelText().Strip(wxString::both).empty()) {
            LinkLabel(label, window);
        }
        previous = window;
    }
}
} // namespace

void Accessible::NameFieldsByLabels(wxWindow* window) {
    if (window->GetSizer() != nullptr) {
        NameInSizer(window->GetSizer());
    }
    for (wxWindow* child : window->GetChildren()) {
        if (!child->IsTopLevel()) {
            NameFieldsByLabels(child);
        }
    }
}

void Accessible::MarkDecorative(wxWindow* window) {
    if (GtkWidget* widget = WidgetOf(window); widget != nullptr && InstallOn(widget)) {
        g_object_set_data(G_OBJECT(widget), kDecorativeKey, GINT_TO_POINTER(1));
    }
}

void Accessible::NotifyAccessibleNameChanged() {
    if (AtkObject* object = ObjectOf(m_window); object != nullptr) {
        g_object_notify(G_OBJECT(object), "accessible-name");
        g_object_notify(G_OBJECT(object), "accessible-description");
    }
}

void Accessible::NotifyAccessibleStateChanged(State state, bool on) {
    if (AtkObject* object = ObjectOf(m_window); object != nullptr) {
        atk_object_notify_state_change(
            object, state == kChecked ? ATK_STATE_CHECKED : ATK_STATE_PRESSED, on);
    }
}

void Accessible::NotifyAccessibleRowsChanged() {
    if (AtkObject* object = ObjectOf(m_window); object != nullptr) {
        CellsOf(object).Clear();
        g_signal_emit_by_name(object, "model-changed");
        g_signal_emit_by_name(object, "visible-data-changed");
    }
}

void Accessible::NotifyAccessibleCellChanged(int row, int col) {
    AtkObject* object = ObjectOf(m_window);
    AtkObject* cell = object != nullptr ? FindCell(object, row, col) : nullptr;
    if (cell == nullptr) {
        return;
    }
    g_object_notify(G_OBJECT(cell), "accessible-name");
    if (col == GetAccessibleProgressColumn()) {
        g_object_notify(G_OBJECT(cell), "accessible-value");
    }
}

void Accessible::NotifyAccessibleSelectionChanged() {
    AtkObject* object = ObjectOf(m_window);
    if (object == nullptr) {
        return;
    }
    for (int row = 0; row < GetAccessibleRows(); ++row) {
        if (IsAccessibleRowSelected(row)) {
            if (AtkObject* cell = CellAt(object, row, 0); cell != nullptr) {
                g_signal_emit_by_name(object, "active-descendant-changed", cell);
            }
            break;
        }
    }
}

void Accessible::NotifyAllNamesChanged() {
    for (Accessible* accessible : Attached()) {
        accessible->NotifyAccessibleNameChanged();
    }
}

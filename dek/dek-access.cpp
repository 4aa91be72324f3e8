#include "dek-access.h"

#include <set>
#include <string>

#include <gtk/gtk-a11y.h>
#include <gtk/gtk.h>

#include <wx/window.h>

namespace {

const char* const kSourceKey = "dek-access-source";    // on the widget
const char* const kAccessibleKey = "dek-accessible";   // on the widget, once created
const char* const kNameKey = "dek-access-name";        // on the accessible: the name last read
const char* const kLitKey = "dek-access-lit";          // on the accessible: the lit state last read

DekAccessSource* SourceOf(AtkObject* obj)
{
    GtkWidget* widget = gtk_accessible_get_widget(GTK_ACCESSIBLE(obj));
    return widget != nullptr ? static_cast<DekAccessSource*>(g_object_get_data(G_OBJECT(widget), kSourceKey))
                             : nullptr;
}

// Text an accessible hands out must outlive the call: it is kept on the object.
const gchar* KeepText(GObject* on, const char* key, const wxString& text)
{
    gchar* copy = g_strdup(text.utf8_str());
    g_object_set_data_full(on, key, copy, g_free);
    return copy;
}

AtkRole AtkRoleOf(DekAccessInfo::Role role)
{
    switch (role) {
    case DekAccessInfo::Role::PushButton:
        return ATK_ROLE_PUSH_BUTTON;
    case DekAccessInfo::Role::Table:
        return ATK_ROLE_TABLE;
    case DekAccessInfo::Role::Label:
        break;
    }
    return ATK_ROLE_LABEL;
}

// ---------------------------------------------------------------------------
// A row or a cell of a table: fixed text, made anew when the rows change.

struct DekAccessItem {
    AtkObject parent;
    GPtrArray* children;
    gint index;
};
struct DekAccessItemClass {
    AtkObjectClass parent_class;
};

G_DEFINE_TYPE(DekAccessItem, dek_access_item, ATK_TYPE_OBJECT)

void dek_access_item_init(DekAccessItem* item)
{
    item->children = g_ptr_array_new_with_free_func(g_object_unref);
    item->index = -1;
}

void DekAccessItemFinalize(GObject* obj)
{
    g_ptr_array_unref(reinterpret_cast<DekAccessItem*>(obj)->children);
    G_OBJECT_CLASS(dek_access_item_parent_class)->finalize(obj);
}

gint DekAccessItemChildCount(AtkObject* obj)
{
    return reinterpret_cast<DekAccessItem*>(obj)->children->len;
}

AtkObject* DekAccessItemChild(AtkObject* obj, gint i)
{
    GPtrArray* children = reinterpret_cast<DekAccessItem*>(obj)->children;
    return i >= 0 && guint(i) < children->len ? ATK_OBJECT(g_object_ref(g_ptr_array_index(children, i))) : nullptr;
}

gint DekAccessItemIndex(AtkObject* obj)
{
    return reinterpret_cast<DekAccessItem*>(obj)->index;
}

void dek_access_item_class_init(DekAccessItemClass* klass)
{
    G_OBJECT_CLASS(klass)->finalize = DekAccessItemFinalize;
    AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
    atk->get_n_children = DekAccessItemChildCount;
    atk->ref_child = DekAccessItemChild;
    atk->get_index_in_parent = DekAccessItemIndex;
}

DekAccessItem* NewItem(AtkObject* parent, gint index, AtkRole role, const wxString& name, const wxString& description)
{
    auto* item = static_cast<DekAccessItem*>(g_object_new(dek_access_item_get_type(), nullptr));
    AtkObject* obj = ATK_OBJECT(item);
    item->index = index;
    atk_object_set_role(obj, role);
    atk_object_set_name(obj, name.utf8_str());
    if (!description.empty())
        atk_object_set_description(obj, description.utf8_str());
    atk_object_set_parent(obj, parent);
    return item;
}

// A table's rows, each named by its cells with their headings, and its cells.
GPtrArray* MakeRows(AtkObject* table, const DekAccessTable& t)
{
    GPtrArray* rows = g_ptr_array_new_with_free_func(g_object_unref);
    for (size_t r = 0; r < t.rows.size(); ++r) {
        // Blanks that align the columns mean nothing read aloud.
        std::vector<wxString> cells = t.rows[r];
        for (wxString& cell : cells)
            cell.Trim(true).Trim(false);
        wxString name;
        for (size_t c = 0; c < cells.size(); ++c) {
            if (cells[c].empty())
                continue;
            name += (name.empty() ? "" : ", ") + (c < t.headings.size() ? t.headings[c] + " " : wxString()) + cells[c];
        }
        DekAccessItem* row = NewItem(table, gint(r), ATK_ROLE_TABLE_ROW, name, wxString());
        for (size_t c = 0; c < cells.size(); ++c) {
            const wxString heading = c < t.headings.size() ? t.headings[c] : wxString();
            g_ptr_array_add(row->children, NewItem(ATK_OBJECT(row), gint(c), ATK_ROLE_TABLE_CELL, cells[c], heading));
        }
        g_ptr_array_add(rows, row);
    }
    return rows;
}

// ---------------------------------------------------------------------------
// The accessible object of a wx window's widget: the container's own, unless
// the window has a source, which then names it, gives its role and lit state,
// its one action and, for a table, its rows.

struct DekAccessible {
    GtkContainerAccessible parent;
};
struct DekAccessibleClass {
    GtkContainerAccessibleClass parent_class;
};

void DekAccessibleActionInit(AtkActionIface* iface);

G_DEFINE_TYPE_WITH_CODE(DekAccessible, dek_accessible, GTK_TYPE_CONTAINER_ACCESSIBLE,
                        G_IMPLEMENT_INTERFACE(ATK_TYPE_ACTION, DekAccessibleActionInit))

#define PARENT_ATK ATK_OBJECT_CLASS(dek_accessible_parent_class)

void dek_accessible_init(DekAccessible*) {}

const char* const kRowsKey = "dek-access-rows";  // on the accessible: the rows made

void UnrefRows(gpointer rows)
{
    g_ptr_array_unref(static_cast<GPtrArray*>(rows));
}

GPtrArray* RowsOf(AtkObject* obj, DekAccessSource* source)
{
    auto* rows = static_cast<GPtrArray*>(g_object_get_data(G_OBJECT(obj), kRowsKey));
    if (rows == nullptr) {
        rows = MakeRows(obj, source->AccessTable());
        g_object_set_data_full(G_OBJECT(obj), kRowsKey, rows, UnrefRows);
    }
    return rows;
}

void DekAccessibleInitialize(AtkObject* obj, gpointer data)
{
    PARENT_ATK->initialize(obj, data);
    // So that a change is told only to an object that someone has asked for.
    g_object_set_data(G_OBJECT(data), kAccessibleKey, obj);
}

const gchar* DekAccessibleName(AtkObject* obj)
{
    DekAccessSource* source = SourceOf(obj);
    if (source == nullptr)
        return PARENT_ATK->get_name(obj);
    return KeepText(G_OBJECT(obj), kNameKey, source->AccessInfo().name);
}

AtkRole DekAccessibleRole(AtkObject* obj)
{
    DekAccessSource* source = SourceOf(obj);
    return source != nullptr ? AtkRoleOf(source->AccessInfo().role) : PARENT_ATK->get_role(obj);
}

AtkStateSet* DekAccessibleStates(AtkObject* obj)
{
    AtkStateSet* states = PARENT_ATK->ref_state_set(obj);
    DekAccessSource* source = SourceOf(obj);
    if (source == nullptr)
        return states;
    const DekAccessInfo info = source->AccessInfo();
    if (info.role == DekAccessInfo::Role::PushButton) {
        atk_state_set_add_state(states, ATK_STATE_CHECKABLE);
        if (info.lit)
            atk_state_set_add_state(states, ATK_STATE_CHECKED);
    }
    g_object_set_data(G_OBJECT(obj), kLitKey, GINT_TO_POINTER(info.lit ? 2 : 1));
    return states;
}

AtkAttributeSet* DekAccessibleAttributes(AtkObject* obj)
{
    AtkAttributeSet* attributes = PARENT_ATK->get_attributes != nullptr ? PARENT_ATK->get_attributes(obj) : nullptr;
    DekAccessSource* source = SourceOf(obj);
    if (source == nullptr)
        return attributes;
    const DekAccessInfo info = source->AccessInfo();
    if (!info.split)
        return attributes;
    auto* lower = static_cast<AtkAttribute*>(g_malloc(sizeof(AtkAttribute)));
    lower->name = g_strdup("lower-lamp");
    lower->value = g_strdup(info.lowerLit ? "lit" : "dark");
    return g_slist_prepend(attributes, lower);
}

gint DekAccessibleChildCount(AtkObject* obj)
{
    DekAccessSource* source = SourceOf(obj);
    if (source == nullptr || source->AccessInfo().role != DekAccessInfo::Role::Table)
        return PARENT_ATK->get_n_children(obj);
    return gint(RowsOf(obj, source)->len);
}

AtkObject* DekAccessibleChild(AtkObject* obj, gint i)
{
    DekAccessSource* source = SourceOf(obj);
    if (source == nullptr || source->AccessInfo().role != DekAccessInfo::Role::Table)
        return PARENT_ATK->ref_child(obj, i);
    GPtrArray* rows = RowsOf(obj, source);
    return i >= 0 && guint(i) < rows->len ? ATK_OBJECT(g_object_ref(g_ptr_array_index(rows, i))) : nullptr;
}

void dek_accessible_class_init(DekAccessibleClass* klass)
{
    AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
    atk->initialize = DekAccessibleInitialize;
    atk->get_name = DekAccessibleName;
    atk->get_role = DekAccessibleRole;
    atk->ref_state_set = DekAccessibleStates;
    atk->get_attributes = DekAccessibleAttributes;
    atk->get_n_children = DekAccessibleChildCount;
    atk->ref_child = DekAccessibleChild;
}

bool IsPushButton(AtkAction* action)
{
    DekAccessSource* source = SourceOf(ATK_OBJECT(action));
    return source != nullptr && source->AccessInfo().role == DekAccessInfo::Role::PushButton;
}

gint DekAccessibleActionCount(AtkAction* action)
{
    return IsPushButton(action) ? 1 : 0;
}

// "click", as the toolkit's own push buttons call theirs.
const gchar* DekAccessibleActionName(AtkAction* action, gint i)
{
    return i == 0 && IsPushButton(action) ? "click" : nullptr;
}

gboolean DekAccessibleDoAction(AtkAction* action, gint i)
{
    if (i != 0 || !IsPushButton(action))
        return FALSE;
    SourceOf(ATK_OBJECT(action))->AccessPress();
    return TRUE;
}

void DekAccessibleActionInit(AtkActionIface* iface)
{
    iface->get_n_actions = DekAccessibleActionCount;
    iface->get_name = DekAccessibleActionName;
    iface->do_action = DekAccessibleDoAction;
}

}  // namespace

void ExposeToAccessibility(wxWindow& window, DekAccessSource* source)
{
    GtkWidget* widget = window.GetHandle();
    if (widget == nullptr)
        return;
    // The accessible type belongs to the widget's class; without a source an
    // object of it behaves as the class's own did.
    static std::set<GType> classes;
    const GType type = G_OBJECT_TYPE(widget);
    if (classes.insert(type).second)
        gtk_widget_class_set_accessible_type(GTK_WIDGET_CLASS(g_type_class_peek(type)), dek_accessible_get_type());
    g_object_set_data(G_OBJECT(widget), kSourceKey, source);
}

void AccessibleChanged(wxWindow& window)
{
    GtkWidget* widget = window.GetHandle();
    if (widget == nullptr)
        return;
    auto* obj = static_cast<AtkObject*>(g_object_get_data(G_OBJECT(widget), kAccessibleKey));
    auto* source = static_cast<DekAccessSource*>(g_object_get_data(G_OBJECT(widget), kSourceKey));
    if (obj == nullptr || source == nullptr)
        return;
    const DekAccessInfo info = source->AccessInfo();
    if (info.role == DekAccessInfo::Role::Table) {
        g_object_set_data(G_OBJECT(obj), kRowsKey, nullptr);  // made again when next read
        return;
    }
    const gchar* told = static_cast<const gchar*>(g_object_get_data(G_OBJECT(obj), kNameKey));
    if (told == nullptr || info.name != wxString::FromUTF8(told)) {
        KeepText(G_OBJECT(obj), kNameKey, info.name);
        g_object_notify(G_OBJECT(obj), "accessible-name");
    }
    const gpointer lit = g_object_get_data(G_OBJECT(obj), kLitKey);
    if (lit != nullptr && (GPOINTER_TO_INT(lit) == 2) != info.lit) {
        g_object_set_data(G_OBJECT(obj), kLitKey, GINT_TO_POINTER(info.lit ? 2 : 1));
        atk_object_notify_state_change(obj, ATK_STATE_CHECKED, info.lit);
    }
}

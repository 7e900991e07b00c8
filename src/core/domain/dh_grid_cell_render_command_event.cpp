#include "domain/dh_grid_cell_render_command_event.h"

DhGridCellRenderCommandEvent::DhGridCellRenderCommandEvent(wxEventType type, int id, int row,
                                                           int column, int state)
    : wxThreadEvent(type, id), m_row(row), m_column(column), m_state(state) {}

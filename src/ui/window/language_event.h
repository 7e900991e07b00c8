#pragma once

#include <wx/event.h>

// Queued on the top window when the user picks an interface language; its integer is the
// language's number.
wxDECLARE_EVENT(EVT_LANGUAGE_CHANGED, wxCommandEvent);

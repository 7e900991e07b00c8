#include "window/language_event.h"

wxDEFINE_EVENT(EVT_LANGUAGE_CHANGED, wxCommandEvent);

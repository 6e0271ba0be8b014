#pragma once
// The Qt side of WindowHandle: each widget that is handed out gets a number
// of its own, never reused, and the number resolves back to the widget only
// while it exists. Use on the user-interface thread only.

#include "window_handle.hpp"

class QWidget;

// The widget's handle, numbered on first use; null for a null widget.
WindowHandle HandleOf(QWidget* widget);

// The widget a handle names, or null if it is none or has been destroyed.
QWidget* WidgetOf(WindowHandle handle);

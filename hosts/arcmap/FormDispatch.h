#pragma once

#include <windows.h>
#include <oaidl.h>

#include <memory>

#include "host/Forms.h"

namespace corvale::arcmap {

/**
 * A window of the component as the host's frame window takes it in: an
 * IDispatch object with one property, hWnd (read with DISPATCH_PROPERTYGET),
 * the window's top-level HWND as VT_I4. Reading it asks the window for its
 * handle, which loads the window (runs its Form_Load) the first time. A
 * failure there is DISP_E_EXCEPTION with the failure's number and
 * description in the EXCEPINFO. The object keeps the window for as long as
 * the host keeps the object. It belongs to the thread that made it.
 *
 * Returns the object with one reference, the caller's; a null window is failure 91.
 */
IDispatch* newFormDispatch(const std::shared_ptr<host::IWindow>& window);

}  // namespace corvale::arcmap

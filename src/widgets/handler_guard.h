#pragma once

#include "platform/dialogs.h"
#include "platform/error.h"

#include <exception>
#include <utility>

namespace zento {

// Runs an event handler; an exception it raises is shown in the error box and
// goes no further. Qt's own code between the event and the handler is not
// built to be unwound, so handlers are guarded where the controls call them.
template <typename Handler> void RunGuarded(Handler &&handler)
{
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception &e) {
        ShowErrorBox(ExceptionMessage(e));
    } catch (...) {
        ShowErrorBox(QString());
    }
}

} // namespace zento

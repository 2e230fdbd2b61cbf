#pragma once
// Handlers of the preset pages do nothing while the dialog copies a preset into the controls.

#include "config/CfgPage.h"

template <typename F>
auto UnlessLoading(TCfgDialogContext& dialog, F handler)
{
    return [&dialog, handler](auto&&... args) {
        if (!dialog.Loading())
            handler(args...);
    };
}

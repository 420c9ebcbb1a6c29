#pragma once

#include <QHash>
#include <QWidget>

#include "resources/ResourceCatalog.h"

namespace tarvo {

class ResourceSet;

// Builds a form view's widgets from its dialog template: every control at its place,
// scaled from 96 dpi to the screen, with its text, icon, flags and initial list. Views find
// their controls by identifier.
class FormBuilder {
public:
    struct Form {
        QWidget* widget = nullptr;
        QHash<int, QWidget*> controls;
        QSize size;  // the template's size, scaled

        template <typename T>
        T* Control(int id) const {
            return qobject_cast<T*>(controls.value(id));
        }
    };

    // Fills `parent` with the controls of dialog `dialogId`; an unknown dialog gives an
    // empty form. `scale` is the screen's dots per inch over 96; 0 takes it from the screen
    // of `parent`, whose fonts grow with its resolution.
    static Form Build(const ResourceSet& resources, int dialogId, QWidget* parent,
                      double scale = 0);
    // The logical dots per inch of the widget's screen over 96.
    static double ScreenScale(const QWidget* widget);

    static QWidget* MakeControl(const ResourceSet& resources, const DialogTemplate& dialog,
                                const DialogControl& control, QWidget* parent);
};

}  // namespace tarvo

#include "resources/FormBuilder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>

#include "resources/ResourceSet.h"

namespace tarvo {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QWidget* MakeEdit(const DialogControl& control, QWidget* parent) {
    if (control.HasFlag("multiline")) {
        auto* edit = new QPlainTextEdit(Text(control.text), parent);
        edit->setReadOnly(control.HasFlag("readonly"));
        return edit;
    }
    auto* edit = new QLineEdit(Text(control.text), parent);
    edit->setReadOnly(control.HasFlag("readonly"));
    if (control.HasFlag("number")) {
        edit->setValidator(new QIntValidator(0, 255, edit));
    }
    if (control.HasFlag("center")) {
        edit->setAlignment(Qt::AlignCenter);
    }
    return edit;
}

}  // namespace

QWidget* FormBuilder::MakeControl(const ResourceSet& resources, const DialogTemplate& dialog,
                                  const DialogControl& control, QWidget* parent) {
    const std::string& kind = control.kind;
    QWidget* widget = nullptr;
    if (kind == "button") {
        auto* button = new QPushButton(Text(control.text), parent);
        button->setDefault(control.HasFlag("default"));
        widget = button;
    } else if (kind == "iconbutton") {
        auto* button = new QPushButton(parent);
        button->setIcon(resources.Icon(control.icon));
        int side = std::min(control.w, control.h) - 8;
        button->setIconSize(QSize(side, side));
        button->setText(Text(control.text));
        widget = button;
    } else if (kind == "radio") {
        widget = new QRadioButton(Text(control.text), parent);
    } else if (kind == "check") {
        widget = new QCheckBox(Text(control.text), parent);
    } else if (kind == "static") {
        auto* label = new QLabel(Text(control.text), parent);
        label->setAlignment(control.HasFlag("center") ? Qt::AlignCenter
                                                      : Qt::AlignLeft | Qt::AlignVCenter);
        widget = label;
    } else if (kind == "picture") {
        auto* label = new QLabel(parent);
        label->setPixmap(resources.IconPixmap(control.icon, QSize(control.w, control.h)));
        label->setAlignment(Qt::AlignCenter);
        widget = label;
    } else if (kind == "edit") {
        widget = MakeEdit(control, parent);
    } else if (kind == "combo") {
        auto* combo = new QComboBox(parent);
        auto list = dialog.lists.find(control.id);
        if (list != dialog.lists.end()) {
            for (const std::string& entry : list->second) {
                combo->addItem(Text(entry));
            }
            combo->setCurrentIndex(-1);
        }
        widget = combo;
    } else if (kind == "list") {
        auto* list = new QTreeWidget(parent);
        list->setRootIsDecorated(false);
        list->setUniformRowHeights(true);
        widget = list;
    } else if (kind == "slider") {
        widget = new QSlider(control.w >= control.h ? Qt::Horizontal : Qt::Vertical, parent);
    } else if (kind == "spin") {
        auto* spin = new QSpinBox(parent);
        spin->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
        widget = spin;
    } else if (kind == "tab") {
        widget = new QTabWidget(parent);
    } else if (kind == "group") {
        widget = new QGroupBox(Text(control.text), parent);
    } else {
        auto* frame = new QFrame(parent);  // "plot" and anything new: an area to draw in
        frame->setFrameShape(QFrame::StyledPanel);
        widget = frame;
    }
    widget->setEnabled(!control.HasFlag("disabled"));
    widget->setVisible(!control.HasFlag("hidden"));
    return widget;
}

double FormBuilder::ScreenScale(const QWidget* widget) {
    QScreen* screen = widget != nullptr ? widget->screen() : QGuiApplication::primaryScreen();
    double dpi = screen != nullptr ? screen->logicalDotsPerInch() : 96.0;
    return dpi > 0 ? dpi / 96.0 : 1.0;
}

FormBuilder::Form FormBuilder::Build(const ResourceSet& resources, int dialogId, QWidget* parent,
                                     double scale) {
    Form form;
    form.widget = parent;
    auto dialog = resources.Catalog().Dialog(dialogId);
    if (!dialog) {
        return form;
    }
    if (scale <= 0) {
        scale = ScreenScale(parent);
    }
    auto scaled = [scale](int v) { return static_cast<int>(v * scale + 0.5); };
    form.size = QSize(scaled(dialog->width), scaled(dialog->height));
    for (const DialogControl& control : dialog->controls) {
        QWidget* widget = MakeControl(resources, *dialog, control, parent);
        widget->setGeometry(scaled(control.x), scaled(control.y), scaled(control.w),
                            scaled(control.h));
        widget->setObjectName(QString("control%1").arg(control.id));
        if (control.kind == "group") {
            widget->lower();  // drawn behind the controls inside it
        }
        form.controls.insert(control.id, widget);
    }
    return form;
}

}  // namespace tarvo

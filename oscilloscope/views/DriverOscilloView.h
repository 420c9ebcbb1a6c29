#pragma once

#include <QWidget>
#include <array>
#include <string>

#include "oscilloscope/DriverOscilloModel.h"
#include "oscilloscope/ScopeLink.h"
#include "oscilloscope/ScopeUnits.h"
#include "platform/qt/QtTimer.h"
#include "resources/FormBuilder.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSlider;

namespace tarvo {

class ControlLink;
class CurvePlotView;
class FormulaEvaluator;
class MessageBox;
class ObjectDictionary;
class ResourceSet;
class UnitTable;
struct LinkSwitches;

// The oscilloscope's form: the widgets of dialog 160 over a DriverOscilloModel, the plot
// widget, and the file dialogs of Export and Import.
class DriverOscilloView : public QWidget, public MessageTarget {
    Q_OBJECT

public:
    struct Setup {
        const ResourceSet& resources;
        const ObjectDictionary& dictionary;
        UnitTable& unitTable;
        FormulaEvaluator& evaluator;
        ControlLink& link;
        LinkSwitches& switches;
        MessageBox& messageBox;
        std::string programFolder;
        std::string userFolder;
    };

    explicit DriverOscilloView(const Setup& setup, QWidget* parent = nullptr);

    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    DriverOscilloModel& model() { return model_; }
    CurvePlotView& plotView() { return *plotView_; }
    template <typename T>
    T* Control(int id) const {
        return form_.Control<T>(id);
    }

    // Writes the file the name's extension asks for (csv, txt, bmp, png or svg; csv as the
    // table with time and units when `timeTable` is set); false, after telling the user,
    // when it cannot be written.
    bool ExportTo(const QString& path, bool timeTable = false);
    // The plot with its labels, cursors and legend, for the png and svg pictures.
    QImage PlotPicture();
    // Reads a record file; false, after telling the user why, when it is refused.
    bool ImportFrom(const QString& path);
    // The view as drawn, without the button row.
    QImage Picture();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Wire();
    void WireChannel(int channel);
    void Refresh();
    void RefreshReadout();
    void Export();
    void Import();
    void OpenPicker(int channel);
    void ShowCursors(int count);
    void AreaChanged();
    void ShowAll();

    Setup setup_;
    QtTimer pollTimer_;
    QtTimer restartTimer_;
    QtTimer watchTimer_;
    ControlScopeLink link_;
    ScopeUnits units_;
    DriverOscilloModel model_;
    FormBuilder::Form form_;
    CurvePlotView* plotView_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* fullRecord_ = nullptr;
    QLabel* measurements_ = nullptr;
    int readoutChosen_ = 0;  // the channel picked in "Ch Id"; 0 none yet
    QString startText_;
    int listsRevision_ = -1;
    bool refreshing_ = false;
};

}  // namespace tarvo

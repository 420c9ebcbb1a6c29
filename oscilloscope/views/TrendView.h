#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <string>

#include "oscilloscope/ScopeUnits.h"
#include "oscilloscope/TrendPlot.h"
#include "oscilloscope/TrendSampler.h"
#include "platform/MessageTarget.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace tarvo {

class ControlLink;
class FormulaEvaluator;
class MessageBox;
class ObjectDictionary;
class ResourceSet;
class TrendPlotView;
class UnitTable;
struct LinkSwitches;

// The trend: up to eight dictionary entries plotted over time while the control link's
// monitor walk reads them. A table lists the signals with their unit, scale, offset, the
// rate each actually reaches and the cursor readouts; the plot scrolls over the chosen
// window, pauses, zooms by dragging and exports CSV and PNG.
class TrendView : public QWidget, public MessageTarget {
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
        std::string userFolder;  // where the export dialogs start
    };

    // The window choices: 10 s to 1 h.
    static constexpr int kWindows[] = {10, 30, 60, 300, 600, 1800, 3600};
    // Redraws are grouped: at most one per this many milliseconds.
    static constexpr int kRedrawMs = 40;

    explicit TrendView(const Setup& setup, QWidget* parent = nullptr);
    ~TrendView() override;

    // WM_LINK_STATE (connection changes, frame shown or closed) and WM_OBJECT_PICKED (an
    // entry picked in the dictionary browser: added to the trend).
    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    // Adds an entry as a signal; false, and the user told why, when it cannot be added.
    bool AddEntry(uint32_t address);
    // Adds what the entry field holds: a key ("606C:00") or an entry's name.
    bool AddTyped(const QString& text);
    void RemoveSignal(int signal);
    void SetWindowSeconds(int seconds);
    void SetPaused(bool paused);
    void SetCursorsShown(bool shown);
    // Writes the CSV of the visible range or of the whole history; false with a message.
    bool ExportCsv(const QString& path, bool wholeHistory);
    bool ExportPng(const QString& path);

    TrendPlot& Plot() { return plot_; }
    TrendSampler& Sampler() { return *sampler_; }
    TrendPlotView& PlotView() { return *plotView_; }
    QTableWidget& Table() { return *table_; }
    // Redraws done so far (the grouping is measured by tests and benchmarks).
    int RedrawCount() const { return redraws_; }

private:
    enum Column { kName, kUnit, kAuto, kScale, kOffset, kRate, kFirst, kSecond, kDifference };

    void BuildControls();
    void OnTimer();
    void Redraw();
    void FillTable();
    void UpdateReadouts();
    void OnCellChanged(int row, int column);
    void ChooseCsv(bool wholeHistory);
    void ChoosePng();
    std::optional<double> Convert(uint32_t address, uint32_t raw);
    QString Text(int id) const;
    void Tell(const QString& text);

    const ResourceSet& resources_;
    const ObjectDictionary& dictionary_;
    ControlLink& link_;
    LinkSwitches& switches_;
    MessageBox& messageBox_;
    std::string userFolder_;
    ScopeUnits units_;
    TrendPlot plot_;
    std::unique_ptr<TrendSampler> sampler_;
    QElapsedTimer clock_;
    QTimer timer_;
    TrendPlotView* plotView_ = nullptr;
    QTableWidget* table_ = nullptr;
    QComboBox* window_ = nullptr;
    QPushButton* pause_ = nullptr;
    QCheckBox* cursors_ = nullptr;
    QLineEdit* entry_ = nullptr;
    QLabel* timeReadout_ = nullptr;
    bool filling_ = false;
    int redraws_ = 0;
    int ticksSinceRates_ = 0;
};

}  // namespace tarvo

#include "oscilloscope/views/TrendView.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>

#include "comm/ControlLink.h"
#include "comm/LinkSwitches.h"
#include "dictionary/ObjectDictionary.h"
#include "oscilloscope/TrendCsv.h"
#include "oscilloscope/views/TrendPlotView.h"
#include "platform/AtomicFile.h"
#include "platform/MessageBox.h"
#include "resources/ResourceSet.h"

namespace tarvo {

namespace {

enum TextId {
    kTitle = 1401,
    kWindowLabel = 1402,
    kPause = 1403,
    kResume = 1404,
    kCursors = 1405,
    kWholeWindow = 1406,
    kAdd = 1407,
    kEntryHint = 1408,
    kCsvVisible = 1409,
    kCsvWhole = 1410,
    kPng = 1411,
    kFirstHeading = 1412,  // Signal .. Difference: 1412-1420
    kRemove = 1421,
    kTooMany = 1422,
    kPresent = 1423,
    kNoSuchEntry = 1424,
    kFirstGapReason = 1425,  // connection closed, abort, no answer, stopped: 1425-1428
    kCannotWrite = 1429,
    kTimeBetween = 1430,
    kExport = 1431,
    kTextEntry = 1432,
};

QString KeyText(uint32_t address) {
    return QString("%1:%2")
        .arg(address >> 8, 4, 16, QChar('0'))
        .arg(address & 0xFF, 2, 16, QChar('0'))
        .toUpper();
}

QString Number(double value) {
    return QString::number(value, 'g', 7);
}

}  // namespace

TrendView::TrendView(const Setup& setup, QWidget* parent)
    : QWidget(parent),
      resources_(setup.resources),
      dictionary_(setup.dictionary),
      link_(setup.link),
      switches_(setup.switches),
      messageBox_(setup.messageBox),
      userFolder_(setup.userFolder),
      units_(setup.dictionary, setup.unitTable, setup.evaluator) {
    clock_.start();
    TrendSampler::Monitor monitor{
        [this](MessageTarget* window, uint32_t address) {
            return link_.RegisterMonitor(window, address, MonitorClass::ReadOnly);
        },
        [this](MessageTarget* window) { return link_.EnableMonitor(window); },
        [this](MessageTarget* window) { return link_.DisableMonitor(window); }};
    sampler_ = std::make_unique<TrendSampler>(TrendSampler::Setup{
        plot_, std::move(monitor), [this] { return clock_.nsecsElapsed() * 1e-9; },
        [this](uint32_t address, uint32_t raw) { return Convert(address, raw); }});
    BuildControls();
    setFocusProxy(entry_);
    connect(&timer_, &QTimer::timeout, this, &TrendView::OnTimer);
    timer_.start(kRedrawMs);
}

TrendView::~TrendView() = default;

QString TrendView::Text(int id) const {
    return resources_.String(id);
}

void TrendView::Tell(const QString& text) {
    messageBox_.Show(text.toStdString());
}

void TrendView::BuildControls() {
    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel(Text(kWindowLabel), this));
    window_ = new QComboBox(this);
    for (int seconds : kWindows) {
        window_->addItem(seconds < 60     ? QString("%1 s").arg(seconds)
                         : seconds < 3600 ? QString("%1 min").arg(seconds / 60)
                                          : QString("%1 h").arg(seconds / 3600),
                         seconds);
    }
    window_->setCurrentIndex(2);
    plot_.SetWindow(60);
    connect(window_, &QComboBox::currentIndexChanged, this,
            [this](int index) { SetWindowSeconds(window_->itemData(index).toInt()); });
    bar->addWidget(window_);
    pause_ = new QPushButton(Text(kPause), this);
    pause_->setCheckable(true);
    connect(pause_, &QPushButton::toggled, this, &TrendView::SetPaused);
    bar->addWidget(pause_);
    cursors_ = new QCheckBox(Text(kCursors), this);
    connect(cursors_, &QCheckBox::toggled, this, &TrendView::SetCursorsShown);
    bar->addWidget(cursors_);
    auto* whole = new QPushButton(Text(kWholeWindow), this);
    connect(whole, &QPushButton::clicked, this, [this] {
        plot_.ResetZoom();
        Redraw();
    });
    bar->addWidget(whole);
    auto* exportButton = new QToolButton(this);
    exportButton->setText(Text(kExport));
    exportButton->setPopupMode(QToolButton::InstantPopup);
    auto* exportMenu = new QMenu(exportButton);
    exportMenu->addAction(Text(kCsvVisible), this, [this] { ChooseCsv(false); });
    exportMenu->addAction(Text(kCsvWhole), this, [this] { ChooseCsv(true); });
    exportMenu->addAction(Text(kPng), this, [this] { ChoosePng(); });
    exportButton->setMenu(exportMenu);
    bar->addWidget(exportButton);
    bar->addStretch();
    entry_ = new QLineEdit(this);
    entry_->setPlaceholderText(Text(kEntryHint));
    entry_->setMinimumWidth(180);
    bar->addWidget(entry_);
    auto* add = new QPushButton(Text(kAdd), this);
    auto addTyped = [this] {
        if (AddTyped(entry_->text())) {
            entry_->clear();
        }
    };
    connect(add, &QPushButton::clicked, this, addTyped);
    connect(entry_, &QLineEdit::returnPressed, this, addTyped);
    bar->addWidget(add);

    TrendPlotView::Texts texts;
    for (size_t i = 0; i < texts.gapReasons.size(); ++i) {
        texts.gapReasons[i] = Text(kFirstGapReason + static_cast<int>(i));
    }
    plotView_ = new TrendPlotView(plot_, texts, this);
    connect(plotView_, &TrendPlotView::viewChanged, this, &TrendView::Redraw);

    table_ = new QTableWidget(0, kDifference + 1, this);
    QStringList headings;
    for (int column = kName; column <= kDifference; ++column) {
        headings << Text(kFirstHeading + column);
    }
    table_->setHorizontalHeaderLabels(headings);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionResizeMode(kName, QHeaderView::Stretch);
    for (int column = kUnit; column <= kDifference; ++column) {
        table_->setColumnWidth(column, column == kAuto ? 40 : 76);
    }
    table_->setColumnWidth(kUnit, 50);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(table_, &QTableWidget::cellChanged, this, &TrendView::OnCellChanged);
    connect(table_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        int row = table_->rowAt(at.y());
        if (row < 0) {
            return;
        }
        QMenu menu(this);
        menu.addAction(Text(kRemove), this, [this, row] { RemoveSignal(row); });
        menu.exec(table_->viewport()->mapToGlobal(at));
    });
    timeReadout_ = new QLabel(this);

    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(plotView_);
    auto* lower = new QWidget(splitter);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->addWidget(timeReadout_);
    lowerLayout->addWidget(table_);
    splitter->addWidget(lower);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(bar);
    layout->addWidget(splitter);
}

std::optional<double> TrendView::Convert(uint32_t address, uint32_t raw) {
    int signal = plot_.Find(address);
    if (signal < 0) {
        return std::nullopt;
    }
    std::string unit = plot_.At(signal).unit;
    std::optional<std::string> text = units_.RawToText(this, address, unit, raw);
    if (!text) {
        return std::nullopt;
    }
    char* end = nullptr;
    double value = std::strtod(text->c_str(), &end);
    if (end == text->c_str()) {
        return std::nullopt;
    }
    return value;
}

bool TrendView::AddEntry(uint32_t address) {
    if (plot_.Find(address) >= 0) {
        Tell(Text(kPresent).arg(KeyText(address)));
        return false;
    }
    if (plot_.SignalCount() >= TrendPlot::kMaxSignals) {
        Tell(Text(kTooMany));
        return false;
    }
    std::string name = KeyText(address).toStdString();
    std::string unit;
    if (auto entry = dictionary_.FindEntry(address)) {
        if (entry->dataType == "VISIBLE STRING") {
            Tell(Text(kTextEntry).arg(KeyText(address)));
            return false;
        }
        name = entry->name;
        // The entry's first unit; hexadecimal entries are plotted as numbers.
        std::vector<std::string> choices = units_.Choices(address);
        unit = choices.empty() || choices.front() == "HEX" ? "DEC" : choices.front();
    }
    int signal = sampler_->Add(address, name, unit == "DEC" ? "" : unit);
    if (signal < 0) {
        return false;
    }
    FillTable();
    Redraw();
    return true;
}

bool TrendView::AddTyped(const QString& text) {
    QString typed = text.trimmed();
    static const QRegularExpression kKey("^(?:0x)?([0-9A-Fa-f]{1,4}):(?:0x)?([0-9A-Fa-f]{1,2})$");
    QRegularExpressionMatch match = kKey.match(typed);
    if (match.hasMatch()) {
        return AddEntry(match.captured(1).toUInt(nullptr, 16) << 8 |
                        match.captured(2).toUInt(nullptr, 16));
    }
    for (int i = 0; i < dictionary_.EntryCount(); ++i) {
        auto entry = dictionary_.EntryAt(i);
        if (entry && QString::fromStdString(entry->name).compare(typed, Qt::CaseInsensitive) == 0) {
            return AddEntry(entry->key);
        }
    }
    Tell(Text(kNoSuchEntry).arg(typed));
    return false;
}

void TrendView::RemoveSignal(int signal) {
    if (sampler_->Remove(signal)) {
        FillTable();
        Redraw();
    }
}

void TrendView::SetWindowSeconds(int seconds) {
    plot_.SetWindow(seconds);
    int choice = window_->findData(seconds);
    if (choice >= 0 && choice != window_->currentIndex()) {
        window_->setCurrentIndex(choice);
    }
    plot_.ResetZoom();
    Redraw();
}

void TrendView::SetPaused(bool paused) {
    plot_.SetNow(clock_.nsecsElapsed() * 1e-9);
    plot_.SetPaused(paused);
    if (pause_->isChecked() != paused) {
        pause_->setChecked(paused);
    }
    pause_->setText(Text(paused ? kResume : kPause));
    Redraw();
}

void TrendView::SetCursorsShown(bool shown) {
    if (shown) {
        // Both start over the samples shown, a third and two thirds along.
        double span = std::max(std::min(plot_.To(), plot_.Now()) - plot_.From(), 0.0);
        plot_.SetCursor(1, plot_.From() + span / 3);
        plot_.SetCursor(2, plot_.From() + 2 * span / 3);
    } else {
        plot_.ClearCursors();
    }
    if (cursors_->isChecked() != shown) {
        cursors_->setChecked(shown);
    }
    Redraw();
}

void TrendView::OnTimer() {
    if (sampler_->Tick()) {
        Redraw();
    }
}

void TrendView::Redraw() {
    ++redraws_;
    plotView_->LayOut();
    plot_.ApplyAutoScales();
    plotView_->update();
    UpdateReadouts();
}

void TrendView::FillTable() {
    filling_ = true;
    table_->setRowCount(plot_.SignalCount());
    for (int row = 0; row < plot_.SignalCount(); ++row) {
        const TrendSignal& signal = plot_.At(row);
        auto fixed = [](const QString& text) {
            auto* item = new QTableWidgetItem(text);
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            return item;
        };
        auto* name = fixed(KeyText(signal.address) + "  " + QString::fromStdString(signal.name));
        name->setForeground(TrendPlotView::SignalColour(row));
        QPixmap swatch(12, 12);
        swatch.fill(TrendPlotView::SignalColour(row));
        name->setIcon(QIcon(swatch));
        table_->setItem(row, kName, name);
        table_->setItem(row, kUnit, fixed(QString::fromStdString(signal.unit)));
        auto* automatic = new QTableWidgetItem;
        automatic->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
        automatic->setCheckState(signal.autoScale ? Qt::Checked : Qt::Unchecked);
        table_->setItem(row, kAuto, automatic);
        table_->setItem(row, kScale, new QTableWidgetItem(Number(signal.scale)));
        table_->setItem(row, kOffset, new QTableWidgetItem(Number(signal.offset)));
        for (int column : {kRate, kFirst, kSecond, kDifference}) {
            table_->setItem(row, column, fixed(QString()));
        }
    }
    filling_ = false;
    ticksSinceRates_ = 1000;
    UpdateReadouts();
}

void TrendView::UpdateReadouts() {
    filling_ = true;
    // Rates move slowly; they are worked out twice a second.
    bool rates = ++ticksSinceRates_ * kRedrawMs >= 500;
    if (rates) {
        ticksSinceRates_ = 0;
    }
    for (int row = 0; row < plot_.SignalCount() && row < table_->rowCount(); ++row) {
        const TrendSignal& signal = plot_.At(row);
        if (signal.autoScale) {
            table_->item(row, kScale)->setText(Number(signal.scale));
            table_->item(row, kOffset)->setText(Number(signal.offset));
        }
        if (rates) {
            table_->item(row, kRate)->setText(QString::number(signal.ring->Rate(5.0), 'f', 1));
        }
        TrendCursorReadout readout = plot_.Readout(row);
        auto cell = [](const std::optional<double>& value) {
            return value ? Number(*value) : QString();
        };
        table_->item(row, kFirst)->setText(cell(readout.firstValue));
        table_->item(row, kSecond)->setText(cell(readout.secondValue));
        table_->item(row, kDifference)->setText(cell(readout.valueDifference));
    }
    if (plot_.CursorsShown()) {
        timeReadout_->setText(
            Text(kTimeBetween).arg(QString::number(plot_.Readout(0).timeDifference, 'f', 3)));
    } else {
        timeReadout_->clear();
    }
    filling_ = false;
}

void TrendView::OnCellChanged(int row, int column) {
    if (filling_ || row < 0 || row >= plot_.SignalCount()) {
        return;
    }
    TrendSignal& signal = plot_.At(row);
    QTableWidgetItem* item = table_->item(row, column);
    if (column == kAuto) {
        signal.autoScale = item->checkState() == Qt::Checked;
    } else if (column == kScale || column == kOffset) {
        bool ok = false;
        double value = item->text().toDouble(&ok);
        if (ok && (column == kOffset || value > 0)) {
            (column == kScale ? signal.scale : signal.offset) = value;
            signal.autoScale = false;
            filling_ = true;
            table_->item(row, kAuto)->setCheckState(Qt::Unchecked);
            filling_ = false;
        } else {
            filling_ = true;
            item->setText(Number(column == kScale ? signal.scale : signal.offset));
            filling_ = false;
        }
    }
    Redraw();
}

bool TrendView::ExportCsv(const QString& path, bool wholeHistory) {
    double from = wholeHistory ? 0.0 : plot_.From();
    double to = wholeHistory ? TrendRing::kLatestTime : plot_.To();
    std::string problem = AtomicFile::Write(path.toStdString(), TrendCsv::Text(plot_, from, to));
    if (!problem.empty()) {
        Tell(QString::fromStdString(problem));
        return false;
    }
    return true;
}

bool TrendView::ExportPng(const QString& path) {
    QImage image = plotView_->grab().toImage();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (image.isNull() || !image.save(&buffer, "PNG")) {
        Tell(Text(kCannotWrite).arg(path, "PNG"));
        return false;
    }
    std::string problem =
        AtomicFile::Write(path.toStdString(), std::string_view(bytes.constData(), bytes.size()));
    if (!problem.empty()) {
        Tell(QString::fromStdString(problem));
        return false;
    }
    return true;
}

void TrendView::ChooseCsv(bool wholeHistory) {
    QString path =
        QFileDialog::getSaveFileName(this, Text(wholeHistory ? kCsvWhole : kCsvVisible),
                                     QString::fromStdString(userFolder_ + "/trend.csv"),
                                     "CSV (*.csv)", nullptr, QFileDialog::DontUseNativeDialog);
    if (!path.isEmpty()) {
        ExportCsv(path, wholeHistory);
    }
}

void TrendView::ChoosePng() {
    QString path = QFileDialog::getSaveFileName(
        this, Text(kPng), QString::fromStdString(userFolder_ + "/trend.png"), "PNG (*.png)",
        nullptr, QFileDialog::DontUseNativeDialog);
    if (!path.isEmpty()) {
        ExportPng(path);
    }
}

intptr_t TrendView::onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == WM_OBJECT_PICKED) {
        AddEntry(static_cast<uint32_t>(lParam));
        return 0;
    }
    if (message != WM_LINK_STATE) {
        return 0;
    }
    switch (static_cast<WindowState>(wParam)) {
        case WindowState::ConnectionChanged:
            if (switches_.connectionState.load() != ConnectionState::Open) {
                sampler_->OnConnectionLost();
            }
            break;
        case WindowState::LinkLost:
            sampler_->OnConnectionLost();
            break;
        case WindowState::Hidden:
            // A closed trend asks nothing of the link; its lines break where it stopped.
            sampler_->SetSampling(false);
            timer_.stop();
            break;
        case WindowState::Shown:
            sampler_->SetSampling(true);
            timer_.start(kRedrawMs);
            entry_->setFocus();
            break;
        default:
            break;
    }
    return 0;
}

}  // namespace tarvo

#include "oscilloscope/views/DriverOscilloView.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QImageWriter>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QSvgGenerator>

#include "comm/ControlLink.h"
#include "comm/LinkSwitches.h"
#include "oscilloscope/ScopeExport.h"
#include "oscilloscope/ScopeFormat.h"
#include "oscilloscope/ScopeMessages.h"
#include "oscilloscope/ScopeRecordFile.h"
#include "oscilloscope/views/CurvePlotPainter.h"
#include "oscilloscope/views/CurvePlotView.h"
#include "platform/AtomicFile.h"
#include "platform/MessageBox.h"
#include "resources/ResourceSet.h"

namespace tarvo {

namespace {

constexpr int kDialog = 160;
constexpr int kPlot = 1271;
constexpr int kSliderOne = 1260;
constexpr int kSliderTwo = 1261;
constexpr int kChannelCheck = 1160;
constexpr int kChannelBox = 1164;
constexpr int kChannelPick = 1168;
constexpr int kChannelUnit = 1172;
constexpr int kChannelAuto = 1176;
constexpr int kScaleEdit = 1184;
constexpr int kScaleSpin = 1188;
constexpr int kOffsetEdit = 1192;
constexpr int kOffsetSpin = 1196;
constexpr int kContinuous = 1159;
constexpr int kStatus = 1181;
constexpr int kStart = 1146;
constexpr int kReread = 1147;
constexpr int kExport = 1148;
constexpr int kImport = 1149;
constexpr int kPeriod = 1150;
constexpr int kPeriodText = 1151;
constexpr int kPretrigger = 1152;
constexpr int kTotal = 1153;
constexpr int kTriggerBox = 1154;
constexpr int kTriggerPick = 1155;
constexpr int kTriggerLevel = 1156;
constexpr int kTriggerUnit = 1157;
constexpr int kEdge = 1158;
constexpr int kCursorNone = 1262;
constexpr int kChannelId = 1180;
constexpr int kTimeHeader = 1182;
constexpr int kDataHeader = 1183;
constexpr int kReadoutFirst = 1265;
constexpr int kFullRecordText = 1290;
constexpr int kFullRecordTip = 1291;
constexpr int kMeasureText = 1292;
constexpr int kMeasureTime = 1293;
constexpr int kTimeTableFilter = 1294;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

void SetItems(QComboBox* box, const std::vector<std::string>& items, int current) {
    if (box == nullptr) {
        return;
    }
    QStringList list;
    for (const std::string& item : items) {
        list << Q(item);
    }
    QStringList shown;
    for (int i = 0; i < box->count(); ++i) {
        shown << box->itemText(i);
    }
    if (shown != list) {
        box->clear();
        box->addItems(list);
    }
    box->setCurrentIndex(current < box->count() ? current : -1);
}

// The smallest font a text is shrunk to so that it is shown whole.
constexpr int kSmallestPoint = 6;

int BasePointSize(QWidget* widget) {
    QVariant base = widget->property("tarvoBasePointSize");
    if (!base.isValid()) {
        base = widget->font().pointSize();
        widget->setProperty("tarvoBasePointSize", base);
    }
    return base.toInt();
}

// The font size at which `text` fits `room` pixels, from the widget's own size down.
void FitFont(QWidget* widget, const QString& text, int room) {
    QFont font = widget->font();
    int size = BasePointSize(widget);
    if (size <= 0) {
        return;
    }
    font.setPointSize(size);
    while (size > kSmallestPoint && QFontMetrics(font).horizontalAdvance(text) > room) {
        font.setPointSize(--size);
    }
    if (font != widget->font()) {
        widget->setFont(font);
    }
}

// A label shows its whole text, in a smaller font when it does not fit.
void FitLabel(QLabel* label) {
    if (label != nullptr) {
        FitFont(label, label->text(), label->width() - 2);
    }
}

// A field shows its whole number: in a shorter exact form ("670" for "670.000"), else in a
// smaller font; never scrolled so that its start is cut off.
void ShowWhole(QLineEdit* edit, const QString& text) {
    int room = edit->width() - 8;
    QString shown = text;
    QString shorter = Q(ShortNumberText(text.toStdString()));
    QFont font = edit->font();
    font.setPointSize(BasePointSize(edit));
    if (QFontMetrics(font).horizontalAdvance(shown) > room) {
        shown = shorter;
    }
    FitFont(edit, shown, room);
    if (edit->text() != shown) {
        edit->setText(shown);
    }
    edit->setToolTip(shown != text ? text : QString());
    edit->setCursorPosition(0);
}

// A field follows the model. What the user types stays until the model's value changes, then
// the model's value shows even in a field that has the focus: a value the drive adjusted
// must not hide behind the typed one.
void SetText(QLineEdit* edit, const std::string& text) {
    if (edit == nullptr) {
        return;
    }
    QString value = Q(text);
    QVariant last = edit->property("tarvoModelText");
    if (edit->hasFocus() && last.isValid() && last.toString() == value) {
        return;
    }
    edit->setProperty("tarvoModelText", value);
    ShowWhole(edit, value);
}

// A spin box used as a pair of up/down buttons.
void OnSpin(QSpinBox* spin, QObject* context, std::function<void(bool up)> pressed) {
    if (spin == nullptr) {
        return;
    }
    spin->setRange(-1, 1);
    spin->setValue(0);
    QObject::connect(spin, &QSpinBox::valueChanged, context, [spin, pressed](int value) {
        if (value == 0) {
            return;
        }
        QSignalBlocker blocker(spin);
        spin->setValue(0);
        pressed(value > 0);
    });
}

}  // namespace

DriverOscilloView::DriverOscilloView(const Setup& setup, QWidget* parent)
    : QWidget(parent),
      setup_(setup),
      link_(setup.link),
      units_(setup.dictionary, setup.unitTable, setup.evaluator),
      model_({setup.dictionary, units_, link_, setup.switches, setup.messageBox, pollTimer_,
              restartTimer_, watchTimer_}) {
    double scale = logicalDpiX() > 0 ? logicalDpiX() / 96.0 : 1.0;
    form_ = FormBuilder::Build(setup.resources, kDialog, this, scale);
    setMinimumSize(form_.size);
    resize(form_.size);
    QWidget* area = form_.controls.value(kPlot);
    plotView_ = new CurvePlotView(model_.plot(), this);
    if (area != nullptr) {
        plotView_->setGeometry(area->geometry());
        area->hide();
    }
    progress_ = new QProgressBar(this);
    progress_->setGeometry(static_cast<int>(236 * scale), static_cast<int>(523 * scale),
                           static_cast<int>(250 * scale), static_cast<int>(20 * scale));
    progress_->setRange(0, 1);
    progress_->setValue(0);
    progress_->setFormat(QStringLiteral("%v / %m"));
    if (auto* start = Control<QPushButton>(kStart)) {
        startText_ = start->text();
    }
    // The counts take any number of digits: the model says when one is out of range,
    // rather than Enter doing nothing.
    for (int id : {kPeriod, kPretrigger, kTotal}) {
        if (auto* edit = Control<QLineEdit>(id)) {
            edit->setValidator(
                new QRegularExpressionValidator(QRegularExpression("[0-9]{0,9}"), edit));
        }
    }
    for (QLabel* label : findChildren<QLabel*>()) {
        FitLabel(label);
    }
    fullRecord_ = new QPushButton(setup.resources.String(kFullRecordText), this);
    fullRecord_->setGeometry(static_cast<int>(352 * scale), static_cast<int>(548 * scale),
                             static_cast<int>(96 * scale), static_cast<int>(26 * scale));
    fullRecord_->setToolTip(setup.resources.String(kFullRecordTip));
    connect(fullRecord_, &QPushButton::clicked, this, [this] { ShowAll(); });
    measurements_ = new QLabel(this);
    // Below the button row, where the bitmap of the view leaves it out as it does the buttons.
    measurements_->setGeometry(static_cast<int>(8 * scale), static_cast<int>(580 * scale),
                               static_cast<int>(700 * scale), static_cast<int>(20 * scale));
    for (int channel = 1; channel <= DriverOscilloModel::kChannels; ++channel) {
        if (auto* check = Control<QCheckBox>(kChannelCheck + channel - 1)) {
            QPalette palette = check->palette();
            palette.setColor(QPalette::WindowText, CurvePlotPainter::ChannelColour(channel));
            palette.setColor(QPalette::ButtonText, CurvePlotPainter::ChannelColour(channel));
            check->setPalette(palette);
        }
    }
    model_.onChanged = [this] { Refresh(); };
    model_.onPlotChanged = [this] { plotView_->CurvesChanged(); };
    plotView_->zoomRequested = [this](int anchorX, int cornerX) {
        model_.Zoom(anchorX, cornerX);
        RefreshReadout();
    };
    plotView_->wheelZoomed = [this](int x, double factor) {
        model_.WheelZoom(x, factor);
        RefreshReadout();
    };
    plotView_->fullRecordRequested = [this] { ShowAll(); };
    plotView_->areaChanged = [this] { AreaChanged(); };
    Wire();
    model_.Create(setup.programFolder + "/sys/Oscilloscope.ini");
    Refresh();
}

void DriverOscilloView::Wire() {
    auto onEnter = [this](int id, auto action) {
        if (auto* edit = Control<QLineEdit>(id)) {
            connect(edit, &QLineEdit::returnPressed, this,
                    [this, edit, action] { (model_.*action)(edit->text().toStdString()); });
        }
    };
    onEnter(kPeriod, &DriverOscilloModel::EnterPeriod);
    onEnter(kPretrigger, &DriverOscilloModel::EnterPretrigger);
    onEnter(kTotal, &DriverOscilloModel::EnterTotal);
    onEnter(kTriggerLevel, &DriverOscilloModel::EnterTriggerLevel);
    if (auto* box = Control<QComboBox>(kTriggerBox)) {
        connect(box, &QComboBox::activated, this, [this](int i) { model_.SelectTrigger(i); });
    }
    if (auto* box = Control<QComboBox>(kTriggerUnit)) {
        connect(box, &QComboBox::activated, this, [this](int i) { model_.SelectTriggerUnit(i); });
    }
    if (auto* edge = Control<QPushButton>(kEdge)) {
        connect(edge, &QPushButton::clicked, this, [this] { model_.ToggleEdge(); });
    }
    if (auto* pick = Control<QPushButton>(kTriggerPick)) {
        connect(pick, &QPushButton::clicked, this, [this] { OpenPicker(0); });
    }
    if (auto* check = Control<QCheckBox>(kContinuous)) {
        connect(check, &QCheckBox::toggled, this, [this](bool on) { model_.SetContinuous(on); });
    }
    if (auto* start = Control<QPushButton>(kStart)) {
        connect(start, &QPushButton::clicked, this, [this] { model_.StartOrCancel(); });
    }
    if (auto* reread = Control<QPushButton>(kReread)) {
        connect(reread, &QPushButton::clicked, this, [this] { model_.Reread(); });
    }
    if (auto* button = Control<QPushButton>(kExport)) {
        connect(button, &QPushButton::clicked, this, [this] { Export(); });
    }
    if (auto* button = Control<QPushButton>(kImport)) {
        connect(button, &QPushButton::clicked, this, [this] { Import(); });
    }
    for (int channel = 1; channel <= DriverOscilloModel::kChannels; ++channel) {
        WireChannel(channel);
    }
    for (int cursor = 1; cursor <= 2; ++cursor) {
        if (auto* slider = Control<QSlider>(cursor == 1 ? kSliderOne : kSliderTwo)) {
            slider->setRange(1, model_.plot().CursorLimit());
            slider->setPageStep(0);
            slider->setValue(model_.plot().CursorPosition(cursor));
            slider->setEnabled(false);
            connect(slider, &QSlider::valueChanged, this, [this, cursor](int value) {
                model_.plot().SetCursors(cursor, value);
                plotView_->OverlayChanged();
                RefreshReadout();
            });
        }
    }
    for (int count = 0; count <= 2; ++count) {
        if (auto* radio = Control<QRadioButton>(kCursorNone + count)) {
            radio->setChecked(count == 0);
            connect(radio, &QRadioButton::clicked, this, [this, count] { ShowCursors(count); });
        }
    }
    if (auto* box = Control<QComboBox>(kChannelId)) {
        connect(box, &QComboBox::activated, this, [this](int index) {
            readoutChosen_ = index + 1;
            RefreshReadout();
        });
    }
}

void DriverOscilloView::AreaChanged() {
    // The cursors run over the plot as it is laid out now, whatever the language and the
    // screen's resolution made of it.
    int limit = model_.plot().CursorLimit();
    for (int cursor = 1; cursor <= 2; ++cursor) {
        if (auto* slider = Control<QSlider>(cursor == 1 ? kSliderOne : kSliderTwo)) {
            slider->setRange(1, limit);
            model_.plot().SetCursors(cursor, slider->value());
        }
    }
    RefreshReadout();
}

void DriverOscilloView::ShowAll() {
    model_.ShowAll();
    RefreshReadout();
}

void DriverOscilloView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        ShowAll();
        return;
    }
    QWidget::keyPressEvent(event);
}

void DriverOscilloView::WireChannel(int channel) {
    int n = channel - 1;
    if (auto* box = Control<QComboBox>(kChannelBox + n)) {
        connect(box, &QComboBox::activated, this,
                [this, channel](int i) { model_.SelectChannelItem(channel, i); });
    }
    if (auto* check = Control<QCheckBox>(kChannelCheck + n)) {
        connect(check, &QCheckBox::clicked, this,
                [this, channel](bool on) { model_.ClickChannel(channel, on); });
    }
    if (auto* box = Control<QComboBox>(kChannelUnit + n)) {
        connect(box, &QComboBox::activated, this, [this, channel](int i) {
            model_.SelectChannelUnit(channel, i);
            RefreshReadout();
        });
    }
    if (auto* pick = Control<QPushButton>(kChannelPick + n)) {
        connect(pick, &QPushButton::clicked, this, [this, channel] { OpenPicker(channel); });
    }
    if (auto* check = Control<QCheckBox>(kChannelAuto + n)) {
        connect(check, &QCheckBox::clicked, this,
                [this, channel](bool on) { model_.SetAuto(channel, on); });
    }
    if (auto* edit = Control<QLineEdit>(kScaleEdit + n)) {
        connect(edit, &QLineEdit::returnPressed, this,
                [this, edit, channel] { model_.EnterScale(channel, edit->text().toStdString()); });
    }
    if (auto* edit = Control<QLineEdit>(kOffsetEdit + n)) {
        connect(edit, &QLineEdit::returnPressed, this,
                [this, edit, channel] { model_.EnterOffset(channel, edit->text().toStdString()); });
    }
    OnSpin(Control<QSpinBox>(kScaleSpin + n), this,
           [this, channel](bool up) { model_.SpinScale(channel, up); });
    OnSpin(Control<QSpinBox>(kOffsetSpin + n), this,
           [this, channel](bool up) { model_.SpinOffset(channel, up); });
}

void DriverOscilloView::ShowCursors(int count) {
    model_.plot().SetCursors(0, count);
    if (auto* slider = Control<QSlider>(kSliderOne)) {
        slider->setEnabled(count >= 1);
    }
    if (auto* slider = Control<QSlider>(kSliderTwo)) {
        slider->setEnabled(count >= 2);
    }
    plotView_->OverlayChanged();
    RefreshReadout();
}

void DriverOscilloView::OpenPicker(int channel) {
    model_.BeginPick(channel);
    if (MessageTarget* main = setup_.switches.mainFrameWindow.load()) {
        main->onMessage(WM_OPEN_VIEW, 2, 0);
    }
}

intptr_t DriverOscilloView::onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return model_.onMessage(message, wParam, lParam);
}

void DriverOscilloView::Refresh() {
    if (refreshing_) {
        return;
    }
    refreshing_ = true;
    const DriverOscilloModel::Form& form = model_.form();
    const CaptureRun& run = model_.run();
    std::vector<QSignalBlocker> blockers;
    for (QWidget* widget : form_.controls) {
        blockers.emplace_back(widget);
    }
    SetText(Control<QLineEdit>(kPeriod), std::to_string(form.samplePeriod));
    if (auto* label = Control<QLabel>(kPeriodText)) {
        label->setText(Q(form.periodText));
    }
    SetText(Control<QLineEdit>(kPretrigger), std::to_string(form.pretrigger));
    SetText(Control<QLineEdit>(kTotal), std::to_string(form.total));
    SetItems(Control<QComboBox>(kTriggerBox), model_.lists().TriggerNames("manual trigger"),
             form.trigger.position);
    SetText(Control<QLineEdit>(kTriggerLevel), form.trigger.level);
    if (auto* edit = Control<QLineEdit>(kTriggerLevel)) {
        edit->setEnabled(form.trigger.levelEnabled);
    }
    SetItems(Control<QComboBox>(kTriggerUnit), form.trigger.units, form.trigger.unit);
    if (auto* box = Control<QComboBox>(kTriggerUnit)) {
        box->setEnabled(form.trigger.levelEnabled);
    }
    if (auto* edge = Control<QPushButton>(kEdge)) {
        edge->setIcon(setup_.resources.Icon(form.edge == 0 ? 213 : 212));
    }
    if (auto* check = Control<QCheckBox>(kContinuous)) {
        check->setChecked(form.continuous);
    }
    for (int channel = 1; channel <= DriverOscilloModel::kChannels; ++channel) {
        int n = channel - 1;
        const DriverOscilloModel::ChannelForm& c = form.channels[static_cast<size_t>(n)];
        if (auto* check = Control<QCheckBox>(kChannelCheck + n)) {
            check->setChecked(c.checked);
        }
        SetItems(Control<QComboBox>(kChannelBox + n), model_.lists().ChannelNames(channel), c.item);
        SetItems(Control<QComboBox>(kChannelUnit + n), c.units, c.unit);
        SetText(Control<QLineEdit>(kScaleEdit + n), c.scaleText);
        SetText(Control<QLineEdit>(kOffsetEdit + n), c.offsetText);
        if (auto* check = Control<QCheckBox>(kChannelAuto + n)) {
            check->setChecked(c.autoScale);
        }
    }
    if (auto* status = Control<QLineEdit>(kStatus)) {
        status->setText(Q(model_.StatusText()));
        status->setToolTip(Q(model_.Notice()));
        status->setCursorPosition(0);
    }
    if (auto* start = Control<QPushButton>(kStart)) {
        start->setText(run.ShowsCancel() ? QStringLiteral("Cancel") : startText_);
        start->setEnabled(run.StartEnabled());
    }
    if (auto* reread = Control<QPushButton>(kReread)) {
        reread->setEnabled(run.RereadEnabled());
    }
    size_t expected = run.ExpectedBytes() != 0 ? run.ExpectedBytes() : CaptureRun::kBufferBytes;
    progress_->setRange(0, static_cast<int>(std::max(expected, run.UploadedBytes())));
    progress_->setValue(static_cast<int>(run.UploadedBytes()));
    refreshing_ = false;
    RefreshReadout();
}

void DriverOscilloView::RefreshReadout() {
    int channel = model_.ReadoutChannel(readoutChosen_);
    if (auto* box = Control<QComboBox>(kChannelId)) {
        QSignalBlocker blocker(box);
        box->setCurrentIndex(channel - 1);
    }
    DriverOscilloModel::Readout readout = model_.CursorReadout(channel);
    if (auto* header = Control<QLabel>(kTimeHeader)) {
        header->setText(setup_.resources.String(kTimeHeader).replace("%s", Q(readout.timeUnit)));
        FitLabel(header);
    }
    if (auto* header = Control<QLabel>(kDataHeader)) {
        header->setText(setup_.resources.String(kDataHeader).replace("%s", Q(readout.dataUnit)));
        FitLabel(header);
    }
    for (int i = 0; i < 6; ++i) {
        if (auto* cell = Control<QLineEdit>(kReadoutFirst + i)) {
            ShowWhole(cell, Q(readout.cells[static_cast<size_t>(i)]));
        }
    }
    if (measurements_ != nullptr) {
        ScopeChannelSettings::Measurements m = model_.Measure(channel);
        QString text;
        if (m.valid) {
            text = setup_.resources.String(kMeasureText)
                       .arg(Q(m.minimum), Q(m.maximum), Q(m.mean), Q(m.peakToPeak), Q(m.unit));
            if (!m.time.empty()) {
                text += "   " + setup_.resources.String(kMeasureTime).arg(Q(m.time));
            }
        }
        measurements_->setText(text);
        measurements_->setToolTip(text);
        measurements_->setPalette(palette());
        if (channel >= 1) {
            QPalette colours = measurements_->palette();
            colours.setColor(QPalette::WindowText, CurvePlotPainter::ChannelColour(channel));
            measurements_->setPalette(colours);
        }
        FitLabel(measurements_);
    }
}

QImage DriverOscilloView::Picture() {
    plotView_->Flush();
    QImage shot = grab().toImage();
    QRect inner = shot.rect().adjusted(3, 4, -4, -50);
    return shot.copy(inner).convertToFormat(QImage::Format_RGB888);
}

QImage DriverOscilloView::PlotPicture() {
    plotView_->Flush();
    std::vector<CurvePlotPainter::LegendLine> legend;
    for (const auto& [channel, text] : model_.Legend()) {
        legend.push_back({channel, Q(text)});
    }
    const CurvePlot& plot = model_.plot();
    QImage image(CurvePlotPainter::PictureSize(plot, legend.size()), QImage::Format_RGB32);
    QPainter painter(&image);
    CurvePlotPainter::PaintPicture(plot, painter, legend);
    return image;
}

bool DriverOscilloView::ExportTo(const QString& path, bool timeTable) {
    QString extension = QFileInfo(path).suffix().toLower();
    std::string content;
    if (extension == "csv") {
        content =
            timeTable ? model_.TimeTable() : ScopeExport::SampleTable(model_.Samples().Records());
    } else if (extension == "txt") {
        content = ScopeRecordFile::Encode(model_.MakeRecord());
    } else if (extension == "svg") {
        std::vector<CurvePlotPainter::LegendLine> legend;
        for (const auto& [channel, text] : model_.Legend()) {
            legend.push_back({channel, Q(text)});
        }
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        QSize size = CurvePlotPainter::PictureSize(model_.plot(), legend.size());
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(QStringLiteral("TarvoStep oscilloscope"));
        {
            QPainter painter(&svg);
            CurvePlotPainter::PaintPicture(model_.plot(), painter, legend);
        }
        content = bytes.toStdString();
    } else if (extension == "bmp" || extension == "png") {
        // The bitmap is the view as on screen; the png is the plot with its legend.
        QImage picture = extension == "bmp" ? Picture() : PlotPicture();
        if (extension == "bmp") {
            std::vector<uint8_t> rgb;
            rgb.reserve(static_cast<size_t>(picture.width()) * picture.height() * 3);
            for (int y = 0; y < picture.height(); ++y) {
                const uchar* line = picture.constScanLine(y);
                rgb.insert(rgb.end(), line, line + picture.width() * 3);
            }
            content = ScopeExport::Bitmap(picture.width(), picture.height(), rgb);
        } else {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, "png");
            if (!writer.write(picture)) {
                setup_.messageBox.Show(std::string(ScopeMessages::kExportFailed) +
                                       writer.errorString().toStdString() + "\n");
                return false;
            }
            content = bytes.toStdString();
        }
    } else {
        return false;
    }
    std::string error = AtomicFile::Write(path.toStdString(), content);
    if (!error.empty()) {
        setup_.messageBox.Show(std::string(ScopeMessages::kExportFailed) + error + "\n");
        return false;
    }
    return true;
}

bool DriverOscilloView::ImportFrom(const QString& path) {
    ScopeRecord record;
    std::string reason;
    ScopeRecordFile::ReadResult result = ScopeRecordFile::Read(path.toStdString(), record, &reason);
    if (result != ScopeRecordFile::ReadResult::kOk) {
        setup_.messageBox.Show(reason.empty() ? ScopeRecordFile::Message(result) : reason + "\n");
        return false;
    }
    model_.ApplyRecord(record);
    RefreshReadout();
    return true;
}

void DriverOscilloView::Export() {
    QString selected;
    QString tableFilter = setup_.resources.String(kTimeTableFilter);
    QString chosen = QFileDialog::getSaveFileName(
        this, QStringLiteral("save data to file"), Q(setup_.userFolder + "/name"),
        QStringLiteral("File(*.csv);;File(*.txt);;File(*.bmp);;File(*.png);;File(*.svg);;") +
            tableFilter,
        &selected, QFileDialog::DontUseNativeDialog);
    if (chosen.isEmpty()) {
        return;
    }
    bool timeTable = selected == tableFilter;
    QString extension = QFileInfo(chosen).suffix().toLower();
    if (extension != "csv" && extension != "txt" && extension != "bmp" && extension != "png" &&
        extension != "svg") {
        extension = QRegularExpression("\\*\\.(\\w+)").match(selected).captured(1);
        chosen += "." + extension;
    }
    QString path = Q(ScopeExport::NormalisePath(chosen.toStdString(), extension.toStdString()));
    auto* button = Control<QPushButton>(kExport);
    if (button != nullptr) {
        button->setEnabled(false);
    }
    ExportTo(path, timeTable);
    if (button != nullptr) {
        button->setEnabled(true);
    }
}

void DriverOscilloView::Import() {
    QString chosen = QFileDialog::getOpenFileName(
        this, QStringLiteral("Choose import to file"), Q(setup_.userFolder + "/name"),
        QStringLiteral("File(*.txt)"), nullptr, QFileDialog::DontUseNativeDialog);
    if (chosen.isEmpty()) {
        return;
    }
    auto* button = Control<QPushButton>(kImport);
    if (button != nullptr) {
        button->setEnabled(false);
    }
    ImportFrom(chosen);
    if (button != nullptr) {
        button->setEnabled(true);
    }
}

}  // namespace tarvo

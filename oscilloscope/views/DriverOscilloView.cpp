#include "oscilloscope/views/DriverOscilloView.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageWriter>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>

#include "comm/ControlLink.h"
#include "comm/LinkSwitches.h"
#include "oscilloscope/ScopeExport.h"
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

void SetText(QLineEdit* edit, const std::string& text) {
    if (edit != nullptr && !edit->hasFocus() && edit->text() != Q(text)) {
        edit->setText(Q(text));
    }
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
              restartTimer_}) {
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
    int range = std::max(model_.plot().InnerWidth() - 4, 2);
    for (int cursor = 1; cursor <= 2; ++cursor) {
        if (auto* slider = Control<QSlider>(cursor == 1 ? kSliderOne : kSliderTwo)) {
            slider->setRange(1, range);
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
        connect(box, &QComboBox::activated, this, [this] { RefreshReadout(); });
    }
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
        status->setText(Q(run.Status()));
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
    auto* box = Control<QComboBox>(kChannelId);
    int channel = box != nullptr ? box->currentIndex() + 1 : 0;
    DriverOscilloModel::Readout readout = model_.CursorReadout(channel);
    if (auto* header = Control<QLabel>(kTimeHeader)) {
        header->setText(setup_.resources.String(kTimeHeader).replace("%s", Q(readout.timeUnit)));
    }
    if (auto* header = Control<QLabel>(kDataHeader)) {
        header->setText(setup_.resources.String(kDataHeader).replace("%s", Q(readout.dataUnit)));
    }
    for (int i = 0; i < 6; ++i) {
        if (auto* cell = Control<QLineEdit>(kReadoutFirst + i)) {
            cell->setText(Q(readout.cells[static_cast<size_t>(i)]));
        }
    }
}

QImage DriverOscilloView::Picture() {
    plotView_->Flush();
    QImage shot = grab().toImage();
    QRect inner = shot.rect().adjusted(3, 4, -4, -50);
    return shot.copy(inner).convertToFormat(QImage::Format_RGB888);
}

bool DriverOscilloView::ExportTo(const QString& path) {
    QString extension = QFileInfo(path).suffix().toLower();
    std::string content;
    if (extension == "csv") {
        content = ScopeExport::SampleTable(model_.Samples().Records());
    } else if (extension == "txt") {
        content = ScopeRecordFile::Encode(model_.MakeRecord());
    } else if (extension == "bmp" || extension == "png") {
        QImage picture = Picture();
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
    ScopeRecordFile::ReadResult result = ScopeRecordFile::Read(path.toStdString(), record);
    if (result != ScopeRecordFile::ReadResult::kOk) {
        setup_.messageBox.Show(ScopeRecordFile::Message(result));
        return false;
    }
    model_.ApplyRecord(record);
    RefreshReadout();
    return true;
}

void DriverOscilloView::Export() {
    QString selected;
    QString chosen = QFileDialog::getSaveFileName(
        this, QStringLiteral("save data to file"), Q(setup_.userFolder + "/name"),
        QStringLiteral("File(*.csv);;File(*.txt);;File(*.bmp)"), &selected,
        QFileDialog::DontUseNativeDialog);
    if (chosen.isEmpty()) {
        return;
    }
    QString extension = QFileInfo(chosen).suffix().toLower();
    if (extension != "csv" && extension != "txt" && extension != "bmp" && extension != "png") {
        extension = selected.contains("txt") ? "txt" : selected.contains("bmp") ? "bmp" : "csv";
        chosen += "." + extension;
    }
    QString path = Q(ScopeExport::NormalisePath(chosen.toStdString(), extension.toStdString()));
    auto* button = Control<QPushButton>(kExport);
    if (button != nullptr) {
        button->setEnabled(false);
    }
    ExportTo(path);
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

#include "panels/ioerror/views/RealtimeErrorView.h"

#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include "panels/ioerror/IoErrorTexts.h"
#include "platform/MessageBox.h"
#include "resources/ResourceSet.h"

namespace tarvo {

namespace {

enum : int { kErrorSet = 210, kErrorClear = 211 };

}  // namespace

RealtimeErrorView::RealtimeErrorView(const Services& services, QWidget* parent)
    : QWidget(parent),
      services_(services),
      model_({services.link, this, services.programFolder + "/sys/RealTimeError.ini",
              services.chinese}),
      faultReset_(services.link.requester) {
    form_ = FormBuilder::Build(services_.resources, 145, this);
    if (form_.size.isValid()) {
        setMinimumSize(form_.size);
    }
    confirm_ = [this](const QString& question) {
        QString caption =
            QString::fromUtf8(io_error_text::kFaultResetCaption.In(services_.chinese));
        return QMessageBox::question(this, caption, question) == QMessageBox::Yes;
    };
    faultReset_.SetFinished([this](FaultResetSequence::Outcome outcome) {
        if (outcome == FaultResetSequence::Outcome::kRefused) {
            services_.messageBox.Show(io_error_text::kFaultResetRefused.In(services_.chinese));
        }
    });
    for (int bit = 0; bit < RealtimeErrorModel::kBits; ++bit) {
        if (auto* box = form_.Control<QCheckBox>(BoxId(bit))) {
            // The box keeps the user's tick; the drive's word shows again when it arrives.
            connect(box, &QCheckBox::clicked, this,
                    [this, bit](bool ticked) { model_.ClickBox(bit, ticked); });
        }
    }
    model_.Create();
    if (std::string problem = model_.NamesProblem(); !problem.empty()) {
        QTimer::singleShot(0, this, [this, problem] { services_.messageBox.Show(problem); });
    }
    for (int bit = 0; bit < RealtimeErrorModel::kBits; ++bit) {
        if (auto* label = form_.Control<QLabel>(NameId(bit))) {
            label->setText(QString::fromStdString(model_.Name(bit)));
        }
    }
    lampIcons_.fill(0);
    ShowModel();
}

void RealtimeErrorView::ShowModel() {
    for (int bit = 0; bit < RealtimeErrorModel::kBits; ++bit) {
        if (auto* box = form_.Control<QCheckBox>(BoxId(bit))) {
            box->setChecked(model_.BoxTicked(bit));
        }
        int icon = model_.LampOn(bit) ? kErrorSet : kErrorClear;
        if (lampIcons_[bit] != icon) {
            lampIcons_[bit] = icon;
            if (auto* lamp = form_.Control<QLabel>(LampId(bit))) {
                lamp->setPixmap(services_.resources.IconPixmap(icon, lamp->size()));
            }
        }
    }
}

intptr_t RealtimeErrorView::onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == WM_LINK_VALUE) {
        model_.OnLinkValue(static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam));
        stale_.Clear();
        ShowModel();
    } else if (message == WM_LINK_STATE &&
               static_cast<WindowState>(wParam) == WindowState::LinkLost) {
        stale_.Mark(lParam);
    }
    return 0;
}

void RealtimeErrorView::OfferFaultReset() {
    if (!services_.link.Connected()) {
        return;
    }
    if (confirm_(QString::fromUtf8(io_error_text::kOfferFaultReset.In(services_.chinese)))) {
        faultReset_.Start();
    }
}

}  // namespace tarvo

#include "panels/TagFormModel.h"

#include "panels/PanelFamily.h"

namespace tarvo {

namespace {

// Project numbers of the stand-alone pages "RPDO1" and "TPDO1"; the others follow.
constexpr int kFirstReceivePage = 23;
constexpr int kFirstTransmitPage = 31;

}  // namespace

TagFormModel::TagFormModel(Direction direction) : direction_(direction) {}

std::string TagFormModel::Prefix() const {
    return direction_ == Direction::kReceive ? "RPDO" : "TPDO";
}

std::string TagFormModel::PageName(int page) const {
    return Prefix() + std::to_string(page);
}

const PanelDescription* TagFormModel::PageDescription(int page) const {
    if (page < 1 || page > kPageCount) {
        return nullptr;
    }
    int first = direction_ == Direction::kReceive ? kFirstReceivePage : kFirstTransmitPage;
    return PanelFamily::ByPanelNumber(first + page - 1);
}

int TagFormModel::PanelNumber() const {
    return direction_ == Direction::kReceive ? 49 : 48;
}

TagFormModel::Choice TagFormModel::ChooseTab(int tab) {
    if (tab < 0 || tab >= kPageCount) {
        return {};
    }
    int page = tab + 1;
    bool create = !created_[static_cast<size_t>(tab)];
    created_[static_cast<size_t>(tab)] = true;
    shownPage_ = page;
    return {page, create};
}

bool TagFormModel::PageCreated(int page) const {
    return page >= 1 && page <= kPageCount && created_[static_cast<size_t>(page - 1)];
}

intptr_t TagFormModel::onMessage(uint32_t message, uintptr_t wParam, intptr_t) {
    if (message != WM_LINK_STATE) {
        return 0;
    }
    switch (static_cast<WindowState>(wParam)) {
        case WindowState::Shown:
            active_ = true;
            break;
        case WindowState::Hidden:
            active_ = false;
            break;
        case WindowState::SaveProject:
            if (placeSaver_) {
                placeSaver_(PanelNumber(), active_ ? 1 : 0);
            }
            break;
        default:
            break;
    }
    return 0;
}

}  // namespace tarvo

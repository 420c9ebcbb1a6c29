#pragma once

#include <array>
#include <functional>
#include <string>

#include "platform/MessageTarget.h"

namespace tarvo {

struct PanelDescription;

// The RPDO or TPDO tab view without its widgets: eight tabs "RPDO1".."RPDO8" (or TPDO),
// each holding a fieldbus page that is created the first time its tab is chosen and then
// kept, and the view's project code: its window place under 49 (RPDO) or 48 (TPDO). The
// pages get no state codes of their own. User-interface thread only.
class TagFormModel : public MessageTarget {
public:
    enum class Direction { kReceive, kTransmit };
    static constexpr int kPageCount = 8;

    // Saves the view frame's place into the project being saved, with the open flag.
    using PlaceSaver = std::function<void(int panelNumber, int openFlag)>;

    explicit TagFormModel(Direction direction);

    Direction Kind() const { return direction_; }
    // "RPDO" or "TPDO".
    std::string Prefix() const;
    // Page k (1..8): "RPDO3" for k = 3; its tab is k - 1.
    std::string PageName(int page) const;
    // The fieldbus page of page k in the panel family.
    const PanelDescription* PageDescription(int page) const;
    // 49 for the RPDO view, 48 for the TPDO view.
    int PanelNumber() const;

    // What choosing tab t asks for: the page to show (0 for a tab past the eighth) and
    // whether it must be created first. The page counts as created from then on.
    struct Choice {
        int page = 0;
        bool create = false;
    };
    Choice ChooseTab(int tab);
    bool PageCreated(int page) const;
    int ShownPage() const { return shownPage_; }

    // WM_LINK_STATE: Shown makes the form active, Hidden inactive; SaveProject stores its
    // window place into the project.
    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    bool IsActive() const { return active_; }
    void SetPlaceSaver(PlaceSaver saver) { placeSaver_ = std::move(saver); }

private:
    Direction direction_;
    std::array<bool, kPageCount> created_{};
    int shownPage_ = 0;
    bool active_ = true;
    PlaceSaver placeSaver_;
};

}  // namespace tarvo

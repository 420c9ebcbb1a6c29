#pragma once

namespace tarvo {

// A view that can offer the user a fault reset of the drive (the error control panel does,
// when the toolbar's state icon is clicked while the drive reports a fault).
class FaultResetOffer {
public:
    virtual ~FaultResetOffer() = default;
    virtual void OfferFaultReset() = 0;
};

}  // namespace tarvo

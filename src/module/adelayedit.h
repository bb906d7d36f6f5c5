#pragma once
// The effect the module creates: ADelay with its editor, which every parameter change reaches,
// and the effect name and product string it reports.

#include "effect/adelay.h"

class ADelayEdit : public ADelay {
public:
    explicit ADelayEdit(audioMasterCallback audioMaster);
    ~ADelayEdit() override;

    void setParameter(int32_t index, float value) override;
    bool getEffectName(char* name) override;
    bool getProductString(char* text) override;
};

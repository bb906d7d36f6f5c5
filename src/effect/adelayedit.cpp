#include "effect/adelayedit.h"

#include <cstring>

ADelayEdit::ADelayEdit(audioMasterCallback audioMaster) : ADelay(audioMaster) {
    setUniqueID(0x5172566E); // "QrVn"
}

ADelayEdit::~ADelayEdit() = default;

void ADelayEdit::setParameter(int32_t index, float value) {
    ADelay::setParameter(index, value);
}

bool ADelayEdit::getEffectName(char* name) {
    std::strcpy(name, "Quorvane");
    return true;
}

bool ADelayEdit::getProductString(char* text) {
    std::strcpy(text, "Quorvane");
    return true;
}

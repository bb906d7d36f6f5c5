#include "module/adelayedit.h"

#include "editor/adeditor.h"

#include <cstring>

ADelayEdit::ADelayEdit(audioMasterCallback audioMaster) : ADelay(audioMaster) {
    setUniqueID(kUniqueId);
    // registers itself as this effect's editor, which owns it from here on
    new ADEditor(this);
}

ADelayEdit::~ADelayEdit() = default;

void ADelayEdit::setParameter(int32_t index, float value) {
    ADelay::setParameter(index, value);
    if (editor) static_cast<ADEditor*>(editor)->setParameter(index, value);
}

bool ADelayEdit::getEffectName(char* name) {
    std::strcpy(name, "Quorvane");
    return true;
}

bool ADelayEdit::getProductString(char* text) {
    std::strcpy(text, "Quorvane");
    return true;
}

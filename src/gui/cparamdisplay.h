#pragma once
// A display showing its value as text on a plain or bitmap background.

#include "gui/ccontrol.h"

namespace VSTGUI {

// Converters write a zero-terminated text; the display cuts it to 255 characters.
typedef void (*CParamDisplayConvert)(float value, char* string);
typedef void (*CParamDisplayConvertWithData)(float value, char* string, void* userData);

// No listener; clicks are taken without effect. Editor thread. Never allocates.
class CParamDisplay : public CControl {
public:
    // Characters a text can have; longer texts are cut.
    static constexpr int32_t kTextLength = 255;

    explicit CParamDisplay(const CRect& size);

    // The value through the converter, or formatted with two decimals without one.
    void draw(CDrawContext* context) override;

    virtual void setFont(int32_t fontID);
    // The fourth byte of a colour is stored but never marks the display dirty.
    virtual void setFontColor(const CColor& color);
    virtual void setBackColor(const CColor& color);
    virtual void setFrameColor(const CColor& color);
    virtual void setShadowColor(const CColor& color);
    virtual void setHoriAlign(int32_t alignment);
    // Preferred over the plain converter when both are set.
    virtual void setStringConvert(CParamDisplayConvertWithData convert, void* userData);
    virtual void setStringConvert(CParamDisplayConvert convert);
    // Stored only.
    virtual void setReserved(void* data);
    virtual void setStyle(int32_t newStyle);
    virtual void setTxtFace(int32_t face);
    virtual void setTextTransparency(bool flag);

    // Draws background, bevel and text (null: no text); bitmap replaces the background if set.
    void drawText(CDrawContext* context, const char* text, CBitmap* bitmap = nullptr);

protected:
    // Stores the colour; true when red, green or blue changed.
    static bool replaceColor(CColor& field, const CColor& color);

    CParamDisplayConvert stringConvert = nullptr;
    CParamDisplayConvertWithData stringConvert2 = nullptr;
    void* reserved = nullptr;
    void* userData = nullptr;
    int32_t horiTxtAlign = kCenterText;
    int32_t style = 0;
    int32_t fontID = 3;
    int32_t txtFace = 0;
    CColor fontColor = kWhiteColor;
    CColor backColor = kBlackColor;
    CColor frameColor = kBlackColor;
    CColor shadowColor = kRedColor;
    bool textTransparencyEnabled = true;
};

} // namespace VSTGUI

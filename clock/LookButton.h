// CLookButton: the push button under the colour button and the image button. It draws in
// one of two looks, chosen at construction: classic (owner-drawn, as when visual themes are
// off) or themed (the system draws the themed face and the derived class adds its content
// through custom draw, forwarded by the parent). Whether it is the dialog's default button
// is kept here, since an owner-drawn button loses the default-push style bits.
#pragma once

#include "ClassLib.h"

class CLookButton : public CButton
{
public:
    // The look the program uses: classic when visual themes are off.
    static BOOL ClassicLookDefault();

    explicit CLookButton(BOOL classic) : m_classic(classic) {}
    BOOL IsDefault() const { return m_default; }

    BOOL OnChildNotify(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
    // Themed look: NM_CUSTOMDRAW of this button, forwarded by its parent.
    virtual LRESULT OnCustomDraw(NMCUSTOMDRAW* draw) = 0;

protected:
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

    BOOL m_classic;
    BOOL m_default = FALSE;

private:
    void RecordStyle(UINT style);
};

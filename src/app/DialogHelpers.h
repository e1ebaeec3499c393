// Small pieces of the dialog's behaviour that the window front end applies.
#pragma once

namespace sarnok {

// The busy-cursor count. Begin shows the busy cursor; an End that brings the count to 0 (or
// an End without a Begin) restores the cursor shown before.
class CWaitCursorCount {
public:
    void Begin() { ++m_count; }
    // True when the normal cursor must come back.
    bool End() {
        if (--m_count <= 0) {
            m_count = 0;
            return true;
        }
        return false;
    }
    int Count() const { return m_count; }

private:
    int m_count = 0;
};

struct CIconOrigin {
    int m_x;
    int m_y;
};

// Where a minimised dialog draws its icon: centred, rounding as the dialog always has
// (signed division that truncates toward zero). Negative when the client area is smaller.
inline CIconOrigin MinimisedIconOrigin(int clientWidth, int clientHeight, int iconWidth,
                                       int iconHeight) {
    return {(clientWidth - iconWidth + 1) / 2, (clientHeight - iconHeight + 1) / 2};
}

} // namespace sarnok

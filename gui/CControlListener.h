// Receives the value changes of the controls it listens to.
#pragma once

class CControl;

class CControlListener {
public:
    virtual ~CControlListener() = default;
    virtual void valueChanged(CControl* control) = 0;
};

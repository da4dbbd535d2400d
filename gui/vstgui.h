// The toolkit in one include, for editor code written against VSTGUI 3.
#pragma once

#include "gui/AEffGUIEditor.h"
#include "gui/CBitmap.h"
#include "gui/CColor.h"
#include "gui/CControl.h"
#include "gui/CControlListener.h"
#include "gui/CDrawContext.h"
#include "gui/CFontDesc.h"
#include "gui/CFrame.h"
#include "gui/CHorizontalSlider.h"
#include "gui/COnOffButton.h"
#include "gui/CRect.h"
#include "gui/CTextLabel.h"
#include "gui/CView.h"
#include "gui/vst_keys.h"

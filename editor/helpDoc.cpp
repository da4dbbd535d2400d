#include "editor/helpDoc.h"

#include <iterator>

namespace {

constexpr CColor kHelpBackground{100, 160, 255, 255};

const char* const introduction[] = {
    "Help mode",
    "Click anywhere to get help.",
    "To exit this mode, click on the (?) button at the right top corner.",
    "",
    "Pelmar has 88 notes.",
    "Each key has two strings, and one hammer.",
    "The 'strings' page (top window tabs) allows to modify the properties of the strings.",
    "The 'hammer' page (top window tabs) allows to modify the properties of the hammers.",
};

const char* const keySliders[] = {
    "Key sliders",
    "",
    "When pressing on the label of a parameter, this window displays sliders for each key.",
    "It allows to adjust by +/- 50% a parameter for each key.",
    "shift-click in this area modifies only one slider.",
    "Buttons just on the top-right of this window modify all the sliders (reset, increase ...)",
};

const char* const keyboardHelp[] = {
    "Keyboard",
    "",
    "Pressing on a key generates the sound at maximum velocity.",
};

const char* const actionHelp[7][1] = {
    {"This button resets all the key sliders to 0."},
    {"This button adds 5% to all the key sliders."},
    {"This button sustracts 5% to all the key sliders."},
    {"This button multiplies by 5% all the key sliders."},
    {"This button divides by 5% all the key sliders."},
    {"This button adds 10% of random value to all the key sliders."},
    {"This button smoothes out all the key sliders."},
};

const char* const pelmarTab[] = {
    "pelmar tab",
    "",
    "Selects a page of general parameters, like volume.",
    "These parameters cannot be adjusted on a per-note basis.",
};

const char* const stringsTab[] = {
    "strings tab",
    "",
    "Selects a page containing parameters to adjust all the properties of the strings.",
    "Ctrl-click on a horizontal slider sets it to the middle.",
    "Clicking on the label of a parameter opens a page of sliders for each note.",
};

const char* const hammerTab[] = {
    "hammer tab",
    "",
    "Selects a page containing parameters to adjust the properties of the hammer.",
    "Ctrl-click on a horizontal slider sets it to the middle.",
    "Clicking on the label of a parameter opens a page of sliders for each note.",
};

const char* const volume[] = {"volume", "", "Global volume.", "Also modified by CC Midi 7 (Volume).",
                              "Cannot be adjusted on a per-note basis."};
const char* const transpose[] = {"transpose", "", "Transpose each note received by this value (in notes).",
                                 "To transpose by one octave, set this to 12 or -12.",
                                 "Cannot be adjusted on a per-key basis."};
const char* const tuning[] = {"tuning",
                              "",
                              "Used to tune the piano. It changes the frequency of each note.",
                              "The default is an equal temperament scale.",
                              "Adding random values (R button) will make the instrument not perfectly tuned.",
                              "Changes between -50 cents to +50 cents.",
                              "The key sliders add +/- 50 cents."};
const char* const unison[] = {
    "unison", "", "There are two strings per note.",
    "This parameter slightly changes the tuning of the two strings, creating a more natural and lush sound."};
const char* const sustain[] = {"sustain", "",
                               "Sustain of the note while the key is pressed, or while the sustain pedal is pressed."};
const char* const damper[] = {
    "damper", "",
    "When a key is released, and the sustain pedal is not pressed, the damper is applied on the string.",
    "This shortens the sustain of the note."};
const char* const softness[] = {"softness",
                                "",
                                "Defines the material the strings are made of.",
                                "A smaller value makes the string sound more metallic,",
                                "whereas a bigger value makes it sound more plastic.",
                                "A higher value also shortens the sustain of the note"};
const char* const hammerPosition[] = {
    "hammer position", "", "Sets the position of the hammer on the string.",
    "Default value is 1/7th of the length of the string, which removes some dissonic harmonics.",
    "A very different sound is produced when the hammer is at the center of the string."};
const char* const bridgePosition[] = {"bridge position", "", "Sets the position of the bridge on the string.",
                                      "This is the point on the string that is amplified and becomes audible."};
const char* const force[] = {"force", "", "Hammer striking force.",
                             "This is similar to a volume, but allows to adjust the volume of each note."};
const char* const sharpness[] = {"sharpness", "", "Hammer sharpness.",
                                 "A sharper hammer creates more bright sounds, increasing higher harmonics.",
                                 "A smaller value makes a softer noise."};
const char* const hardness[] = {"hardness", "", "Hammer hardness.",
                                "A harder hammer makes sounds with more harmonics."};
const char* const material[] = {
    "material",
    "",
    "Hammer material.",
    "Tuning this parameter is delicate as even small changes can produce a different sound,",
    "by adding or removing harmonics.",
    "Try using shift-click on the slider (or shift-wheel) to make smaller changes."};
const char* const roundness[] = {"roundness", "", "Hammer shape.", "A rounder shape makes softer sounds."};
const char* const velocitySoftness[] = {"velocity softness", "",
                                        "Velocities smaller than this value will sound soft.",
                                        "Velocities higher than this value will sound crisp."};
const char* const velocityDynamics[] = {
    "velocity dynamics",
    "",
    "For velocities higher than the value defined in 'velo soft' this increases or decreases",
    "the dynamics of the hammer, changing how crisp the note sounds.",
    "A value of 0 makes all the velocities sound soft.",
    "Increasing this parameter makes the piano more expressive."};

template <std::size_t N>
HelpText text(const char* const (&lines)[N]) {
    return HelpText{lines, static_cast<int>(N)};
}

HelpText parameterText(int tag) {
    switch (tag) {
        case 0x00: return text(volume);
        case 0x01: return text(transpose);
        case 0x10: return text(tuning);
        case 0x11: return text(unison);
        case 0x12: return text(sustain);
        case 0x13: return text(damper);
        case 0x14: return text(softness);
        case 0x15: return text(hammerPosition);
        case 0x16: return text(bridgePosition);
        case 0x20: return text(force);
        case 0x21: return text(sharpness);
        case 0x22: return text(hardness);
        case 0x23: return text(material);
        case 0x24: return text(roundness);
        case 0x25: return text(velocitySoftness);
        case 0x26: return text(velocityDynamics);
        default: return HelpText{};
    }
}

}  // namespace

const char* const kHelpVersionLine = "Pelmar-k1 v1.0    https://pelmar-k1.example/help";

HelpText helpText(int topic) {
    // Whole groups first, then controls without their page, then parameter
    // rows with slider (0x000) and label (0x100) folded together.
    switch (topic & 0xF00) {
        case 0x700: return text(introduction);
        case 0x200: return text(keySliders);
        case 0x300: return text(keyboardHelp);
        default: break;
    }
    int control = topic & 0xF0F;
    if (control >= 0x600 && control <= 0x606) return text(actionHelp[control - 0x600]);
    if (control == 0x400) return text(pelmarTab);
    if (control == 0x401) return text(stringsTab);
    if (control == 0x402) return text(hammerTab);
    return parameterText(topic & 0xEFF);
}

CRect helpLineRect(const CRect& rect, CCoord fontSize, int n) {
    CCoord top = rect.top + 2 + n * (fontSize + 4);
    return CRect(rect.left + 2, top, rect.right - 2, top + fontSize + 4);
}

void helpDoc(CDrawContext* context, CFontRef font, const CRect& rect, int topic) {
    context->setFillColor(kHelpBackground);
    context->fillRect(rect);
    context->setFontColor(kWhiteCColor);
    context->setFont(font, font->getSize(), font->getStyle());
    CCoord size = context->getFontSize();
    HelpText help = helpText(topic);
    for (int n = 0; n < help.count; ++n) context->drawString(help.lines[n], helpLineRect(rect, size, n), false, kLeftText);
    if (help.lines == introduction) context->drawString(kHelpVersionLine, helpLineRect(rect, size, 0), false, kRightText);
}

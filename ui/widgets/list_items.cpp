#include "ui/widgets/list_items.h"

namespace velmora::ui {

namespace {
constexpr int kWaveFormCount = 18;
const char* const kWaveFormNames[kWaveFormCount] = {
    "Sine",       "Square",     "Triangular",  "Sawtooth", "White Noise",
    "Pink Noise", "Sine Pulse", "Dirac Pulse", "Silence",  "MLS",
    "White Noise (periodic)", "Pink Noise (periodic)", "Brown Noise (periodic)",
    "Multitone", "IMD SMPTE", "IMD CCIF", "Tone Burst", "IMD DIN",
};
} // namespace

QString waveFormItemText(int index, Channel side)
{
    if (index < 0 || index >= kWaveFormCount)
        return {};
    const QString name = QString::fromLatin1(kWaveFormNames[index]);
    // Entries 7-9 carry a hidden "Noise" far to the right; the periodic noises name it.
    if (index < 7 || index >= 10)
        return name;
    const int width = side == Channel::Left ? 52 : 51;
    const QString ending = QStringLiteral("Noise");
    return name + QString(width - name.size() - ending.size(), QLatin1Char(' ')) + ending;
}

QStringList waveFormItems(Channel side)
{
    QStringList items;
    for (int i = 0; i < kWaveFormCount; ++i)
        items << waveFormItemText(i, side);
    return items;
}

QStringList modFunctionItems()
{
    return {QStringLiteral("Sine "), QStringLiteral("Cosine"), QStringLiteral("Square"),
            QStringLiteral("Triangular")};
}

QStringList crestFactorItems()
{
    return {QStringLiteral("1.42:1"), QStringLiteral("2:1"), QStringLiteral("3:1"), QStringLiteral("4:1"),
            QStringLiteral("6:1"),    QStringLiteral("8:1"), QStringLiteral("10:1")};
}

QStringList channelLayoutItems()
{
    return {QStringLiteral("Mono"), QStringLiteral("Stereo")};
}

QStringList burstWindowItems() { return {QStringLiteral("Hann"), QStringLiteral("None")}; }

QStringList noiseBandItems() { return {QStringLiteral("Full"), QStringLiteral("500:2000"), QStringLiteral("30:80")}; }

} // namespace velmora::ui

// Gradient painting: 256 bands of a colour ramp on a picture box.
#include "extras/degrade.h"

#include "wizard/controles.h"

#include <cstdint>

void PeindreDegrade(PictureBox& Surface, std::optional<bool> Rouge, std::optional<bool> Vert,
                    std::optional<bool> Bleu, std::optional<bool> BandesHorizontales,
                    std::optional<bool> BandesVerticales, std::optional<bool> Decroissant,
                    std::optional<bool> Inverse)
{
    // Omitted options, resolved in this order: at least one colour component
    // and one band direction are always in force.
    const bool rouge = Rouge.value_or(false);
    bool bleu = Bleu.value_or(false);
    const bool vert = Vert.value_or(false);
    if (!rouge && !vert) bleu = true;
    const bool horizontales = BandesHorizontales.value_or(false);
    bool verticales = BandesVerticales.value_or(!horizontales);
    const bool inverse = Inverse.value_or(false);
    if (!horizontales && !verticales) verticales = true;
    const bool decroissant = Decroissant.value_or(true);

    const bool autoRedraw = Surface.AutoRedraw;
    const std::int16_t drawWidth = Surface.DrawWidth;
    const std::int16_t drawStyle = Surface.DrawStyle;
    const std::int16_t drawMode = Surface.DrawMode;
    const float scaleWidth = Surface.ScaleWidth();
    const float scaleHeight = Surface.ScaleHeight();
    const std::int16_t scaleMode = Surface.ScaleMode();

    Surface.AutoRedraw = true;
    Surface.DrawWidth = 2;
    Surface.DrawStyle = 6;
    Surface.DrawMode = 13;
    Surface.setScaleMode(3);
    Surface.setScaleWidth(512);
    Surface.setScaleHeight(512);

    std::int16_t W = std::int16_t(Surface.ScaleWidth());
    std::int16_t H = std::int16_t(Surface.ScaleHeight());
    std::int16_t X = 0, Y = 0;
    for (std::int16_t i = 0; i <= 255; ++i) {
        const int c = decroissant ? 255 - i : i;
        const QColor couleur(rouge ? c : 0, vert ? c : 0, bleu ? c : 0);
        if (inverse) {
            if (horizontales) {
                Surface.Boite(Surface.ScaleWidth(), H - 2, 0, H, couleur);
                H -= 2;
            }
            if (verticales) {
                Surface.Boite(W - 2, Surface.ScaleHeight(), W, 0, couleur);
                W -= 2;
            }
        } else {
            if (horizontales) {
                Surface.Boite(0, Y, Surface.ScaleWidth(), Y + 2, couleur);
                Y += 2;
            }
            if (verticales) {
                Surface.Boite(X, 0, X + 2, Surface.ScaleHeight(), couleur);
                X += 2;
            }
        }
    }

    Surface.AutoRedraw = autoRedraw;
    Surface.DrawWidth = drawWidth;
    Surface.DrawStyle = drawStyle;
    Surface.DrawMode = drawMode;
    Surface.setScaleMode(scaleMode);
    Surface.setScaleWidth(scaleWidth);
    Surface.setScaleHeight(scaleHeight);
    // Giving the scale its size makes it a user scale; a surface that had a
    // standard one (twips, pixels) gets that back, with the same figures.
    if (scaleMode != 0) Surface.setScaleMode(scaleMode);
}

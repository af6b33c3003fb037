// Gradient painting.
#pragma once

#include <optional>

class PictureBox;

// Paints 256 bands of a colour ramp over the surface's persistent image in a
// 512 x 512 logical space, then restores the surface's own settings. An
// omitted option (std::nullopt) takes its default.
void PeindreDegrade(PictureBox& Surface,
                    std::optional<bool> Rouge = std::nullopt,
                    std::optional<bool> Vert = std::nullopt,
                    std::optional<bool> Bleu = std::nullopt,
                    std::optional<bool> BandesHorizontales = std::nullopt,
                    std::optional<bool> BandesVerticales = std::nullopt,
                    std::optional<bool> Decroissant = std::nullopt,
                    std::optional<bool> Inverse = std::nullopt);

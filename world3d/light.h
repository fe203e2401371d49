// Light: one white directional light straight down, and the ambient colour.
#pragma once

void InitLight(void);

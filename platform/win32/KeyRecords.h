// PLACEHOLDER: which console key records make one keystroke, and their codes (pure).
#pragma once

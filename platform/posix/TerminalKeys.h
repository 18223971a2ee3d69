// PLACEHOLDER: which terminal bytes make one keystroke (pure).
#pragma once

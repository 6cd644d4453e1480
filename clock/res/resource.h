// Resource identifiers of the clock program.
#pragma once

#define IDR_MAINFRAME 128

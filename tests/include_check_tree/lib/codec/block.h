// A library header, as the checker finds lib/ folders.
#pragma once

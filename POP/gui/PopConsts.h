// The shared user-interface words, messages and file filters.
#pragma once

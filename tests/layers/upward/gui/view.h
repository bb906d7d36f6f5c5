#pragma once
// A toolkit header.

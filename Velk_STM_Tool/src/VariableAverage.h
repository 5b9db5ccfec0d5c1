// Summing and averaging the amplitude arrays of the captures of one measurement.
#pragma once
#include <cstdint>

// sum_1[i] += variable_1[i] for i < number_variable (modulo 2^32).
void variable_sum(uint8_t number_variable, const uint32_t* variable_1, uint32_t* sum_1);

// average[i] = sum_1[i] / number_sum (fraction dropped), then sum_1[i] = 0,
// for i < number_variable. number_sum is the count of arrays summed, never 0.
void variable_average(uint8_t number_variable, uint32_t number_sum, uint32_t* sum_1, uint32_t* average);

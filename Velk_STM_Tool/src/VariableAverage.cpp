#include "VariableAverage.h"

void variable_sum(uint8_t number_variable, const uint32_t* variable_1, uint32_t* sum_1) {
  for (int i = 0; i < number_variable; ++i) sum_1[i] += variable_1[i];
}

void variable_average(uint8_t number_variable, uint32_t number_sum, uint32_t* sum_1, uint32_t* average) {
  for (int i = 0; i < number_variable; ++i) {
    average[i] = sum_1[i] / number_sum;
    sum_1[i] = 0;
  }
}

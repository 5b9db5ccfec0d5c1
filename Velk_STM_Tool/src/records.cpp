#include "records.h"

uint8_t menu_flag_settings;
menu_st menuSt;
spi_st SPI_str;
shield_st shieldSt;
stend_signal_st stend_signal;
stand_adc_st stand_ADC;
link_events_st linkEvents;
error_st_t error_st;

// gpibin

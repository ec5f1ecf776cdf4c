// fieldcheck

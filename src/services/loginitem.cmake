# loginitem service

// SPDX-License-Identifier: GPL-2.0
/*
 * qb_ioctl: a character device "QB" with one 11-byte buffer shared by every opener.
 * Each operation writes a line to the kernel log. Reads and writes always start at
 * byte 0; two ioctl commands only log a line.
 */
#include <linux/fs.h>
#include <linux/init.h>
#include <linux/kernel.h>
#include <linux/module.h>
#include <linux/uaccess.h>

#define QB_SPEED_UP _IO('A', 1)
#define QB_SPEED_DOWN _IO('A', 2)

extern int result;
extern char data[11];
extern const struct file_operations qb_fops;

int result;
char data[11];

static int qb_open(struct inode *inode, struct file *filp)
{
	printk("Device has been opened...\n");
	return 0;
}

static int qb_release(struct inode *inode, struct file *filp)
{
	printk("Device has been closed...\n");
	return 0;
}

static ssize_t qb_read(struct file *filp, char __user *buf, size_t count, loff_t *f_pos)
{
	int ret = copy_to_user(buf, data, count);

	/* data may hold no terminating zero: print at most its 11 bytes */
	printk("%d data >>> %.11s\n", ret, data);
	return 0;
}

static ssize_t qb_write(struct file *filp, const char __user *buf, size_t count, loff_t *f_pos)
{
	/* more than 11 bytes is refused by the copy's own size check */
	unsigned long left = copy_from_user(data, buf, count);

	(void)left;
	printk("data >>> %.11s\n", data);
	return count;
}

static long qb_ioctl(struct file *filep, unsigned int cmd, unsigned long arg)
{
	switch (cmd) {
	case QB_SPEED_UP:
		printk("speed up\n");
		break;
	case QB_SPEED_DOWN:
		printk("speed down\n");
		break;
	}
	return 0;
}

const struct file_operations qb_fops = {
	.read = qb_read,
	.write = qb_write,
	.unlocked_ioctl = qb_ioctl,
	.open = qb_open,
	.release = qb_release,
};

static int __init qb_init(void)
{
	printk("QB Module is up... \n");
	result = register_chrdev(0, "QB", &qb_fops);
	if (result < 0)
		printk("Couldn't get a major number...\n");
	printk("major number=%d\n", result);
	return 0;
}

static void __exit qb_exit(void)
{
	printk("The module is down...\n");
	unregister_chrdev(result, "QB");
}

module_init(qb_init);
module_exit(qb_exit);
MODULE_LICENSE("GPL");
